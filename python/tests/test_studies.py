"""Many panels at once: one row per panel, the same rows from a thread pool, a process pool
and a Dask cluster of two workers."""

from concurrent.futures import ProcessPoolExecutor

import pytest

import kelm


def panels(examples):
    return [kelm.Panel("a", str(examples / "panel_a.rs"), 16, 20),
            kelm.Panel("a-4ply", kelm.Surface.read(str(examples / "panel_a.rs")), 16, 20, rules="-bf"),
            kelm.Panel("b", str(examples / "panel_b.rs"), 12, 16, method="iterative")]


def comparable(table):
    return table.drop(columns=["seconds"]).to_dict("records")


def test_thread_and_process_pools_give_one_row_per_panel(examples):
    table = kelm.run_panels(panels(examples))
    assert list(table["panel"]) == ["a", "a-4ply", "b"]
    assert (table["status"] == "optimal").all()
    direct = kelm.optimize(kelm.Surface.read(str(examples / "panel_b.rs")), 12, 16,
                           method="iterative", seed=1)
    assert table.loc[2, "value"] == direct.value
    assert table.loc[2, "skin"] == direct.designs[0].skin.printed
    with ProcessPoolExecutor(2) as pool:
        assert comparable(kelm.run_panels(panels(examples), executor=pool)) == comparable(table)


def test_a_dask_cluster_of_two_workers_gives_the_same_table(examples):
    distributed = pytest.importorskip("distributed", reason="Debian: python3-distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        on_cluster = kelm.run_panels(panels(examples), client=client)
    assert comparable(on_cluster) == comparable(kelm.run_panels(panels(examples)))


def test_a_bad_panel_is_recorded_and_a_study_keeps_its_time_limit_and_ctrl_c(examples):
    import _thread
    import threading
    import time

    hard = [kelm.Panel(f"hard {i}", str(examples / "panel_a.rs"), 48, 48, rules="-bf", method="tree")
            for i in range(3)]
    missing = kelm.Panel("missing", examples / "no such panel.rs", 16, 20)
    with pytest.raises(FileNotFoundError):
        kelm.run_panels([missing])
    start = time.monotonic()
    table = kelm.run_panels(panels(examples)[:1] + [missing] + hard, errors="record", time_limit=1.0)
    assert time.monotonic() - start < 1.5
    assert list(table["status"]) == ["optimal", "error"] + ["time-limit"] * 3
    assert table.loc[1, "message"].startswith("FileNotFoundError") and table["value"].isna()[1]
    assert table.loc[0, "message"].startswith("optimal") and table.loc[2, "designs"] >= 1

    threading.Timer(0.5, _thread.interrupt_main).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt) as caught:
        kelm.run_panels(panels(examples)[:1] + hard)
    assert time.monotonic() - start < 1.0
    assert list(caught.value.table["status"]) == ["optimal"] + ["interrupted"] * 3
