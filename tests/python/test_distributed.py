"""The batch runner on a local cluster of two worker processes on loopback:
outputs equal the tool's, a worker killed in the middle of a task loses no
work, a bad input is reported while the others finish."""

import os
import pathlib
import signal
import subprocess
import sys

import numpy as np
from distributed import Client, LocalCluster

GOLDEN = pathlib.Path(__file__).resolve().parents[1] / "golden"
LOOK = str(GOLDEN / "look.json")
CLI = os.environ.get("COLORCORRECT_CLI", str(GOLDEN.parents[1] / "build" / "bin" / "colorcorrect"))


def make_y4m(path, w, h, frames, chroma):
    rng = np.random.default_rng(frames)
    cw, ch = ((w + 1) // 2, (h + 1) // 2) if chroma.startswith("420") else (w, h)
    with open(path, "wb") as f:
        f.write(f"YUV4MPEG2 W{w} H{h} F25:1 Ip A1:1 C{chroma}\n".encode())
        for _ in range(frames):
            f.write(b"FRAME\n" + rng.integers(0, 256, w * h + 2 * cw * ch, dtype=np.uint8).tobytes())


def kill_once(marker):
    """A worker plugin that kills its worker process as the first range task
    starts executing anywhere (the marker file says it happened)."""
    from distributed.diagnostics.plugin import WorkerPlugin

    class KillOnce(WorkerPlugin):
        name = "kill-once"

        def transition(self, key, start, finish, **kwargs):
            if finish == "executing" and str(key).startswith("correct_range"):
                try:
                    os.close(os.open(marker, os.O_CREAT | os.O_EXCL))
                except FileExistsError:
                    return
                os.kill(os.getpid(), signal.SIGKILL)

    return KillOnce()


def decoded(path):
    # The frames of a clip as FFmpeg decodes them, without the header line.
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "yuv4mpegpipe", "-"],
                         capture_output=True, check=True).stdout
    return out.partition(b"\n")[2]


def test_cluster_run_equals_the_tool(tmp_path):
    make_y4m(tmp_path / "long.y4m", 66, 46, 40, "420jpeg")
    make_y4m(tmp_path / "full.y4m", 17, 9, 5, "444")
    # Frame lines with parameters: frames of different sizes, one task.
    (tmp_path / "odd.y4m").write_bytes((tmp_path / "full.y4m").read_bytes().replace(b"FRAME", b"FRAME Ip"))
    subprocess.run(["ffmpeg", "-v", "error", "-i", str(tmp_path / "long.y4m"), "-c:v", "ffv1",
                    str(tmp_path / "clip.mkv")], check=True)
    (tmp_path / "bad.png").write_bytes(b"\x89PNG\r\n\x1a\n damaged")
    (tmp_path / "still.png").write_bytes(b"")  # the same output name as a picture before it
    pictures = [str(GOLDEN / "apply" / "in" / n) for n in ("still.png", "alpha.png")]
    inputs = [str(tmp_path / n) for n in ("long.y4m", "full.y4m", "clip.mkv", "bad.png", "odd.y4m")] + pictures
    inputs.append(str(tmp_path / "still.png"))
    out, marker = tmp_path / "out", str(tmp_path / "killed")

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None, local_directory=str(tmp_path)) as cluster, Client(cluster) as client:
        client.register_worker_plugin(kill_once(marker))
        # As a user runs it: the tasks must reach workers that did not start
        # from this program.
        run = subprocess.run([sys.executable, "-m", "colorcorrect.distributed", "-c", LOOK, "-o", str(out),
                              "--scheduler", cluster.scheduler_address, "--frames-per-task", "3",
                              "--encode-args=-c:v ffv1", *inputs], capture_output=True, text=True, timeout=240)
    assert os.path.exists(marker), "no worker was killed"
    lines = run.stderr.splitlines()
    assert run.returncode == 1 and "bad.png: damaged PNG" in lines[-2] and "also the output of" in lines[-1]
    assert lines[-3].startswith("progress: 92/92 frames")
    assert sorted(os.listdir(out)) == ["alpha.png", "clip.mkv", "full.y4m", "long.y4m", "odd.y4m", "still.png"]

    for source in inputs[:2] + inputs[4:-1]:
        name = os.path.basename(source)
        expected = subprocess.run([CLI, "apply", "-c", LOOK, source, "-"], capture_output=True,
                                  check=True).stdout
        assert (out / name).read_bytes() == expected, name
    tool = subprocess.run([CLI, "apply", "-c", LOOK, "-", "-"], input=subprocess.run(
        ["ffmpeg", "-v", "error", "-i", inputs[2], "-f", "yuv4mpegpipe", "-"], capture_output=True,
        check=True).stdout, capture_output=True, check=True).stdout
    assert decoded(out / "clip.mkv") == tool.partition(b"\n")[2]
