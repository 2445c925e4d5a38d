import os
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("KELM_BUILD", ROOT / "build")).resolve()
EXAMPLES = pathlib.Path(os.environ.get("KELM_EXAMPLES", ROOT / "examples"))


@pytest.fixture(scope="session")
def examples():
    return EXAMPLES


@pytest.fixture(scope="session")
def build():
    return BUILD
