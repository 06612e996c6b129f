"""Batch correction of clips and pictures on a Dask cluster.

    python3 -m colorcorrect.distributed -c look.json -o OUTDIR INPUT...

YUV4MPEG2 files (.y4m) are cut into ranges of whole frames (every frame has
the same size, so a range is a byte range) that any worker corrects into its
place in the output; other video files go through FFmpeg (decoded to and
encoded from YUV4MPEG2 pipes), one clip per task; pictures (.png, .jpg,
.jpeg, .bmp) one per task. Every output holds the bytes ``colorcorrect
apply`` writes for it and appears under its name only when complete.

Inputs and OUTDIR must be reachable under the same paths on every worker
(a shared file system); see docs/distributed.md.
"""

import argparse
import functools
import logging
import os
import shlex
import subprocess
import sys
import tempfile
import time
import uuid

import colorcorrect as cc

PICTURE_SUFFIXES = {".png", ".jpg", ".jpeg", ".bmp"}
STREAM_SUFFIXES = {".y4m"}


# ---- tasks: run on the workers ----------------------------------------------

@functools.lru_cache(maxsize=8)
def _filter(look):
    # Tasks of one run share the correction: each worker process builds the
    # tables once.
    return cc.Filter(cc.Correction.from_bytes(look))


def correct_range(look, source, target, offset, length):
    """Corrects the frames in bytes [offset, offset + length) of `source`
    into the same bytes of `target`. Returns the frames corrected. Running it
    again (after a lost worker) writes the same bytes."""
    return cc._colorcorrect._correct_y4m_range(_filter(look), source, target, offset, length)


def correct_stream(look, source, target):
    """Corrects a whole YUV4MPEG2 file whose frames cannot be cut into ranges."""
    temp = _temp_name(target)
    try:
        with open(source, "rb") as fin, open(temp, "wb") as fout:
            frames = cc._colorcorrect._correct_stream_fds(_filter(look), fin.fileno(), fout.fileno())
        os.replace(temp, target)
    finally:
        _remove(temp)
    return frames


def correct_picture(look, source, target, quality=95):
    """Corrects one picture; the output format follows the target's name."""
    _filter(look).apply_file(source, target, quality=quality)
    return 1


def correct_encoded(look, source, target, decode_args=(), encode_args=()):
    """Decodes a clip with FFmpeg into a YUV4MPEG2 pipe, corrects it and
    encodes the result with FFmpeg (encode_args: its output options)."""
    temp = _temp_name(target)
    with tempfile.TemporaryFile() as dec_err, tempfile.TemporaryFile() as enc_err:
        decoder = subprocess.Popen(
            ["ffmpeg", "-nostdin", "-v", "error", "-i", source, *decode_args, "-f", "yuv4mpegpipe", "-"],
            stdout=subprocess.PIPE, stderr=dec_err)
        encoder = subprocess.Popen(
            ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "yuv4mpegpipe", "-i", "-", *encode_args, temp],
            stdin=subprocess.PIPE, stderr=enc_err)
        failure = None
        frames = 0
        try:
            frames = cc._colorcorrect._correct_stream_fds(_filter(look), decoder.stdout.fileno(),
                                                          encoder.stdin.fileno())
        except ValueError as e:
            failure = str(e)
            decoder.kill()
        finally:
            decoder.stdout.close()
            encoder.stdin.close()
            decoder.wait()
            encoder.wait()
        for name, proc, err in (("decoding", decoder, dec_err), ("encoding", encoder, enc_err)):
            if proc.returncode != 0 and not (name == "decoding" and failure):
                err.seek(0)
                failure = f"FFmpeg {name} failed: " + err.read().decode(errors="replace").strip()
        if failure:
            _remove(temp)
            raise RuntimeError(failure)
    os.replace(temp, target)
    return frames


def _temp_name(target):
    # Unique per attempt: a task run again after its worker died must not
    # write into the file the dead one left half done.
    head, tail = os.path.split(target)
    stem, ext = os.path.splitext(tail)
    return os.path.join(head, f".{stem}.{uuid.uuid4().hex[:12]}.partial{ext}")


def _remove(path):
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


# ---- the client: plans the work, follows it, joins the results -------------

def _count_frames(path):
    """Frames of an encoded clip as FFprobe reports them, or None."""
    try:
        out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                              "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path],
                             capture_output=True, text=True, timeout=120).stdout.strip()
        return int(out)
    except (OSError, ValueError, subprocess.SubprocessError):
        return None


class Progress:
    """Prints "frames done/total, frames per second, time left" lines, at
    most one a second and a last one at the end."""

    def __init__(self, total, stream=None, interval=1.0):
        self.total, self.stream, self.interval = total, stream or sys.stderr, interval
        self.done = 0
        self.start = time.monotonic()
        self.shown = 0.0

    def add(self, frames, final=False):
        self.done += frames
        now = time.monotonic()
        if not final and now - self.shown < self.interval:
            return
        self.shown = now
        elapsed = max(now - self.start, 1e-6)
        fps = self.done / elapsed
        if self.total is None or fps == 0:
            left = "?"
        else:
            seconds = max(self.total - self.done, 0) / fps
            left = f"{int(seconds) // 60}:{int(seconds) % 60:02d}"
        total = "?" if self.total is None else str(self.total)
        print(f"progress: {self.done}/{total} frames, {fps:.1f} fps, {left} left", file=self.stream, flush=True)


def plan(inputs, outdir, frames_per_task):
    """One entry per input: kind, output name and what its tasks need."""
    jobs = []
    targets = {}
    for source in inputs:
        name = os.path.basename(source)
        target = os.path.join(outdir, name)
        suffix = os.path.splitext(name)[1].lower()
        job = {"source": source, "target": target, "futures": [], "error": None}
        try:
            if os.path.abspath(target) in targets:
                raise ValueError(f"its output {target} is also the output of {targets[os.path.abspath(target)]}")
            targets[os.path.abspath(target)] = source
            if os.path.exists(target) and os.path.samefile(source, target):
                raise ValueError("the output would replace the input: choose another output folder")
            if suffix in PICTURE_SUFFIXES:
                job.update(kind="picture", frames=1)
            elif suffix in STREAM_SUFFIXES:
                layout = cc.y4m_layout(source)
                job.update(kind="ranges" if layout["uniform"] else "stream", frames=layout["frames"],
                           layout=layout)
            else:
                job.update(kind="encoded", frames=_count_frames(source))
        except (ValueError, OSError) as e:
            job.update(kind="refused", frames=0, error=str(e))
        jobs.append(job)
    return jobs


def run(client, look_path, outdir, inputs, frames_per_task=16, decode_args=(), encode_args=(), quality=95,
        progress_stream=None):
    """Corrects `inputs` into `outdir` on the cluster behind `client`.
    Returns {input: None or the error message}."""
    look = cc.Correction.load(look_path).to_bytes()
    os.makedirs(outdir, exist_ok=True)
    jobs = plan(inputs, outdir, frames_per_task)

    owner = {}
    for job in jobs:
        if job["error"]:
            continue
        src, dst = job["source"], job["target"]
        if job["kind"] == "ranges":
            layout = job["layout"]
            header, step = layout["header"], layout["frame_bytes"]
            # The whole output file exists from the start, under a temporary
            # name: each range task writes its frames into their place.
            job["temp"] = _temp_name(dst)
            try:
                with open(job["temp"], "wb") as f:
                    f.write(header)
                    f.truncate(len(header) + step * layout["frames"])
            except OSError as e:
                job["error"] = str(e)
                continue
            for first in range(0, layout["frames"], frames_per_task):
                count = min(frames_per_task, layout["frames"] - first)
                job["futures"].append(client.submit(
                    correct_range, look, src, job["temp"], len(header) + first * step, count * step, pure=False))
        elif job["kind"] == "stream":
            job["futures"].append(client.submit(correct_stream, look, src, dst, pure=False))
        elif job["kind"] == "picture":
            job["futures"].append(client.submit(correct_picture, look, src, dst, quality, pure=False))
        else:
            job["futures"].append(client.submit(correct_encoded, look, src, dst, tuple(decode_args),
                                                tuple(encode_args), pure=False))
        for fut in job["futures"]:
            owner[fut.key] = job

    known = [j["frames"] for j in jobs if j["error"] is None]
    progress = Progress(None if None in known else sum(known), progress_stream)
    from distributed import as_completed
    pending = [f for j in jobs for f in j["futures"]]
    for fut in as_completed(pending):
        job = owner[fut.key]
        if fut.status == "error":
            if job["error"] is None:
                job["error"] = str(fut.exception())
                client.cancel([f for f in job["futures"] if f.status == "pending"])
                if progress.total is not None:
                    progress.total -= job["frames"]
            continue
        if fut.status == "cancelled":
            continue
        progress.add(fut.result())
        # Forgotten results are not computed again if their worker dies.
        fut.release()
    progress.add(0, final=True)

    results = {}
    for job in jobs:
        temp = job.get("temp")
        if temp:
            if job["error"] is None:
                os.replace(temp, job["target"])
            else:
                _remove(temp)
        results[job["source"]] = job["error"]
    return results


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python3 -m colorcorrect.distributed",
        description="Correct clips and pictures on a Dask cluster, with the bytes `colorcorrect apply` writes.")
    parser.add_argument("-c", "--correction", required=True, help="correction file (JSON or binary)")
    parser.add_argument("-o", "--output", required=True, help="folder the outputs are written to")
    parser.add_argument("inputs", nargs="+", metavar="INPUT", help=".y4m clips, other video files, pictures")
    parser.add_argument("--scheduler", help="address of a running scheduler (tcp://HOST:PORT); default: a "
                                            "local cluster of this machine's cores")
    parser.add_argument("--workers", type=int, default=None, help="local cluster: worker processes")
    parser.add_argument("--frames-per-task", type=int, default=16, help=".y4m clips: frames in one task")
    parser.add_argument("--encode-args", default="", help="FFmpeg output options for encoded clips, e.g. "
                                                          "\"-c:v libx264 -crf 16\"")
    parser.add_argument("--decode-args", default="", help="FFmpeg options after the input, e.g. "
                                                          "\"-pix_fmt yuv444p\"")
    parser.add_argument("--quality", type=int, default=95, help="JPEG quality of corrected JPEG pictures")
    args = parser.parse_args(argv)
    if args.frames_per_task < 1:
        parser.error("--frames-per-task must be at least 1")

    from distributed import Client, LocalCluster
    try:
        cc.Correction.load(args.correction)
    except (ValueError, OSError) as e:
        print(f"distributed: {e}", file=sys.stderr)
        return 1
    if args.scheduler:
        try:
            client, cluster = Client(args.scheduler, timeout=30), None
        except OSError as e:
            print(f"distributed: {args.scheduler}: {e}", file=sys.stderr)
            return 1
    else:
        # Failed tasks are reported below, once each, without the workers'
        # own log lines; the workers' scratch space goes to the temporary
        # folder, not into the folder the command was started in.
        cluster = LocalCluster(n_workers=args.workers or os.cpu_count(), threads_per_worker=1, processes=True,
                               dashboard_address=None, silence_logs=logging.CRITICAL,
                               local_directory=tempfile.gettempdir())
        client = Client(cluster)
    try:
        results = run(client, args.correction, args.output, args.inputs, args.frames_per_task,
                      shlex.split(args.decode_args), shlex.split(args.encode_args), args.quality)
    finally:
        # Closing the client while the cluster replaces a lost worker can
        # leave one of the client's background tasks failed (a timeout),
        # which asyncio would report when the interpreter exits, after the
        # run's own report below: every result is in by now, so it says
        # nothing about the run.
        logging.getLogger("asyncio").setLevel(logging.CRITICAL)
        client.close()
        if cluster is not None:
            cluster.close()
    failed = {k: v for k, v in results.items() if v is not None}
    for source, error in failed.items():
        print(f"distributed: {error if error.startswith(source) else source + ': ' + error}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    # Run as `python3 -m`, this file is __main__, and tasks defined here would
    # be sent to the workers as __main__.correct_range, which a worker started
    # by dask-worker cannot find. The module imported under its own name
    # sends them as colorcorrect.distributed.correct_range.
    from colorcorrect import distributed

    sys.exit(distributed.main())
