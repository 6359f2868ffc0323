#!/usr/bin/python3
"""End to end: two short timed flights of the real program, their JSON summary, and the
plotting tool on their CSV files, as a user comparing two runs would use them.

Run as: plot_timedemo_test.py PROGRAM DATA_DIR PLOT_TOOL
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

import matplotlib.image

PROGRAM, DATA_DIR, PLOT_TOOL = sys.argv[1:4]
FRAMES = 40
# The tool's picture: 1400 x 1000 pixels, the frame-time trace in the upper band.
PICTURE_SHAPE = (1000, 1400)
TRACE_ROWS, TRACE_COLUMNS = slice(110, 370), slice(100, 1360)
RUN_COLOURS = [(0x1F, 0x77, 0xB4), (0xFF, 0x7F, 0x0E)]


def json_key(text):
    return re.sub(r"[^a-z0-9]+", "_", text.lower()).strip("_")


def parse_figure(text):
    """A printed figure, "label value" or "label value unit", as its JSON key and value."""
    words = text.split(" ")
    if not re.fullmatch(r"-?[0-9.]+", words[-1]):
        words.pop()
    return json_key(" ".join(words[:-1])), float(words[-1])


def run_plot(*arguments):
    return subprocess.run([PLOT_TOOL, *arguments], capture_output=True, text=True, check=False)


class TwoRuns(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.directory = cls.scratch.name
        cls.csv = []
        cls.summary = []
        for size in ("160x120", "240x180"):
            csv = os.path.join(cls.directory, f"{size}.csv")
            extra = ["--timedemo-json", os.path.join(cls.directory, "summary.json")] \
                if not cls.csv else []
            run = subprocess.run(
                [PROGRAM, "--timedemo", "--timedemo-frames", str(FRAMES), "--size", size,
                 "--data-dir", DATA_DIR, "--timedemo-csv", csv, *extra],
                capture_output=True, text=True, check=False)
            if run.returncode != 0:
                raise RuntimeError(f"{size} run failed: {run.stderr}")
            cls.csv.append(csv)
            cls.summary.append(run.stdout)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def path(self, name):
        return os.path.join(self.directory, name)

    def facts(self, csv):
        with open(csv, encoding="utf-8") as file:
            return dict(line[2:].rstrip("\n").split(": ", 1) for line in file
                        if line.startswith("# "))

    def test_json_holds_every_printed_figure_and_fact(self):
        with open(self.path("summary.json"), encoding="utf-8") as file:
            summary = json.load(file)
        self.assertEqual(summary["frames"], FRAMES)
        facts = self.facts(self.csv[0])
        self.assertEqual(summary["facts"], {json_key(label): value for label, value in facts.items()})

        printed = self.summary[0].split("Timedemo:", 1)[1].splitlines()[1:]
        figure_lines = [line for line in printed
                        if line.split(": ", 1)[0] not in facts and line.strip()]
        self.assertGreaterEqual(len(figure_lines), 3, self.summary[0])
        for line in figure_lines:
            title, figures = line.split(":", 1)
            expected = dict(parse_figure(figure) for figure in figures.strip().split("  "))
            self.assertTrue(expected, line)
            self.assertEqual(summary.get(json_key(title)), expected, line)

    def test_plot_shows_both_runs(self):
        png = self.path("cmp.png")
        result = run_plot(*self.csv, "-o", png, "--svg")
        self.assertEqual(result.returncode, 0, result.stderr)
        picture = matplotlib.image.imread(png)
        self.assertEqual(picture.shape[:2], PICTURE_SHAPE)
        trace = (picture[TRACE_ROWS, TRACE_COLUMNS, :3] * 255).round().astype(int)
        colours = {tuple(pixel) for pixel in trace.reshape(-1, 3)}
        self.assertGreater(len(colours), 1, "the trace is blank")
        for colour in RUN_COLOURS:
            self.assertIn(colour, colours, "a run's trace is missing")
        with open(self.path("cmp.svg"), encoding="utf-8") as svg:
            self.assertIn("<svg", svg.read(2000))

    def test_files_without_facts_or_with_more_columns_still_plot(self):
        with open(self.csv[0], encoding="utf-8") as file:
            lines = [line for line in file if not line.startswith("#")]
        widened = [lines[0].rstrip("\n") + ",lod_error_px\n"] + \
            [line.rstrip("\n") + ",0.75\n" for line in lines[1:]]
        for name, content in (("bare.csv", lines), ("wide.csv", widened)):
            with open(self.path(name), "w", encoding="utf-8") as file:
                file.writelines(content)
            result = run_plot(self.path(name), "-o", self.path(name + ".png"))
            self.assertEqual(result.returncode, 0, f"{name}: {result.stderr}")
            self.assertTrue(os.path.exists(self.path(name + ".png")), name)

    def test_a_newline_in_the_terrain_path_keeps_the_facts_on_their_lines(self):
        maps = self.path("maps\nbeside")
        os.mkdir(maps)
        for name in ("heightMap.bmp", "textureMap.bmp", "detailMap.bmp"):
            os.symlink(os.path.join(DATA_DIR, name), os.path.join(maps, name))
        csv = self.path("newline.csv")
        run = subprocess.run([PROGRAM, "--timedemo-frames", "2", "--size", "64x48", "--data-dir",
                              maps, "--timedemo-csv", csv], capture_output=True, text=True,
                             check=False)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("maps beside", self.facts(csv)["Terrain"])
        self.assertIn("Terrain: " + self.path("maps beside"), run.stdout)
        result = run_plot(csv, "-o", self.path("newline.png"))
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_bad_files_get_one_line_naming_the_file(self):
        with open(self.csv[0], encoding="utf-8") as file:
            good = file.read()
        header_end = good.index("\n", good.index("frame,frame_ms")) + 1
        cases = [
            ("empty.csv", "", "empty"),
            ("foreign.csv", "time,fps\n1.0,60\n", "not a timedemo CSV"),
            ("truncated.csv", good[:len(good) - 7], "truncated"),
            ("short-row.csv", good[:header_end] + "0,1.5,0.1\n", "3 fields"),
            ("text.csv", re.sub(r"\n3,[^,]*,", "\n3,slow,", good, count=1),
             "frame_ms is not a number: 'slow'"),
            ("no-frames.csv", good[:header_end], "no frames"),
            ("gap.csv", good.replace("\n3,", "\n4,", 1), "frame 4 where frame 3 belongs"),
            ("huge.csv", good, "larger than 64 MiB"),
        ]
        for name, content, message in cases:
            with self.subTest(name):
                with open(self.path(name), "w", encoding="utf-8") as file:
                    file.write(content)
                    if name == "huge.csv":
                        file.truncate(65 << 20)
                png = self.path(name + ".png")
                result = run_plot(self.csv[1], self.path(name), "-o", png)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(f"{self.path(name)}: ", result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(png))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
