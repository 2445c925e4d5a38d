"""The build of the kelm Python module by the project's CMake, for pip (see pyproject.toml)."""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def refuse_an_interpreter_without_wheel():
    """pip builds a wheel; without the wheel package (older setuptools need it) it would fail
    later with "invalid command 'bdist_wheel'", which does not say what to do."""
    try:
        from setuptools.command.bdist_wheel import bdist_wheel  # noqa: F401  (setuptools 70.1+)
    except ImportError:
        try:
            import wheel  # noqa: F401
        except ImportError:
            sys.exit(f"kelm: {sys.executable} has no 'wheel' package to build with: install with "
                     "Debian's /usr/bin/python3 (apt-get install python3-wheel), as the README "
                     "shows")


refuse_an_interpreter_without_wheel()


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    """Configures and builds the module target with CMake, for the interpreter running pip."""

    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        jobs = str(os.cpu_count() or 2)
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DBUILD_TESTING=OFF", "-DKELM_PYTHON=ON",
                        f"-DPYTHON_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "-j", jobs, "--target", "_kelm"],
                       check=True)
        built = next((build / "python" / "kelm").glob("_kelm*.so"), None) or \
            next((build / "python" / "kelm").glob("_kelm*.pyd"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[CMakeExtension("kelm._kelm")], cmdclass={"build_ext": CMakeBuild})
