"""The Python package tarvel against the tarvel program: the same runs, files and messages.

Usage: test_tarvel.py CASE --build DIR --source DIR --tarvel PROGRAM --corpus-scenes PROGRAM
--cmake PROGRAM, where CASE names one of the TestCase classes below without "Test". Exits 77
(skipped) when NumPy or the built package is missing.
"""

import argparse
import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import unittest

ARGS = None
np = None
tarvel = None


def source_path(*parts):
    return os.path.join(ARGS.source, *parts)


def run_program(*args, check_codes=(0, 3)):
    """Runs the tarvel program; returns (exit code, standard output, standard error)."""
    done = subprocess.run([ARGS.tarvel, *args], capture_output=True, text=True)
    if done.returncode not in check_codes:
        raise AssertionError(f"tarvel {' '.join(args)}: exit {done.returncode}: {done.stderr}")
    return done.returncode, done.stdout, done.stderr


def load_json(path):
    # Integers as floats keep "-0" a negative zero; point indices are made integers again.
    with open(path, encoding="utf-8") as file:
        return json.load(file, parse_int=float)


def scene_arrays(scene):
    """points, (offsets, indices), selected and types of a scene file's mesh."""
    points = np.array([[float(c) for c in p] for p in scene["points"]],
                      dtype=np.float64).reshape(-1, 3)
    polygons = [[int(i) for i in polygon["points"]] for polygon in scene["polygons"]]
    selected = np.array([int(polygon.get("flags", 1)) & 1 == 1 for polygon in scene["polygons"]],
                        dtype=bool)
    types = [polygon.get("type", "FACE") for polygon in scene["polygons"]]
    return points, polygons, selected, types


def expressible(scene):
    """Whether the package's arguments say all of the scene: the host answers by default, no
    given normals, no flag beyond the selection."""
    return "host" not in scene and all(
        "normal" not in polygon and int(polygon.get("flags", 1)) in (0, 1)
        for polygon in scene["polygons"])


def trace_edit(trace, polygon_count):
    """links, their tags, removed polygons and message texts that a trace records."""
    messages = [call["text"] + ("" if call["text2"] is None else "\n" + call["text2"])
                for call in trace["calls"] if call["op"] in ("info", "warning", "error")]
    if "mesh" not in trace:
        return None, messages
    kept = {int(polygon["id"]): polygon for polygon in trace["mesh"]["polygons"]}
    links = [[int(i) for i in kept[j]["points"]] for j in sorted(kept) if j >= polygon_count]
    tags = [kept[j]["tags"].get("COLR", "untagged") for j in sorted(kept) if j >= polygon_count]
    removed = [j for j in range(polygon_count) if j not in kept]
    return (links, tags, removed), messages


def facing_grids(n, gap=1.0, columns=1):
    """`columns` pairs of n-by-n quad grids side by side, each pair facing across `gap`."""
    points, quads = [], []
    for column in range(columns):
        for z, flip in ((0.0, False), (gap, True)):
            base = len(points)
            x0 = column * (n + 2.0)
            points += [[x0 + i, j, z] for j in range(n + 1) for i in range(n + 1)]
            for j in range(n):
                for i in range(n):
                    a = base + j * (n + 1) + i
                    quad = [a, a + 1, a + n + 2, a + n + 1]
                    quads.append(quad[::-1] if flip else quad)
    return np.array(points, dtype=np.float64), np.array(quads, dtype=np.int64)


def write_obj(path, points, polygons):
    with open(path, "w", encoding="ascii") as file:
        for p in points:
            file.write("v %r %r %r\n" % tuple(float(c) for c in p))
        for polygon in polygons:
            file.write("f " + " ".join(str(int(i) + 1) for i in polygon) + "\n")


def compare_with_program(test, path, folder):
    """Runs `tarvel run --all` and read, run and edited_bytes on the file at `path`: the same
    bytes, or the same refusal."""
    expected = os.path.join(folder, "cli" + os.path.splitext(path)[1])
    done = subprocess.run([ARGS.tarvel, "run", "--all", path, "-o", expected],
                          capture_output=True, text=True)
    try:
        mesh = tarvel.read(path)
        result = tarvel.run(mesh.points, mesh.polygons, mesh.selected, types=mesh.types,
                            name=mesh.name)
        written = tarvel.edited_bytes(mesh, result)
    except tarvel.Error as error:
        test.assertIn(done.returncode, (1, 2), path)
        test.assertIn(str(error), done.stderr)
        return
    test.assertIn(done.returncode, (0, 3), done.stderr)
    test.assertEqual(result.stopped, done.returncode == 3)
    with open(expected, "rb") as file:
        test.assertEqual(written, file.read())


class ResultsTest(unittest.TestCase):
    """Runs on arrays give what the program's traces and its --json report give."""

    def check_against_trace(self, scene, trace, label):
        points, polygons, selected, types = scene_arrays(scene)
        edit, messages = trace_edit(trace, len(polygons))
        if not polygons:
            with self.assertRaises(tarvel.Error, msg=label):
                tarvel.run(points, polygons, selected, types=types)
            return
        if edit is None:
            with self.assertRaisesRegex(tarvel.Error, "closed no edit", msg=label):
                tarvel.run(points, polygons, selected, types=types)
            return
        result = tarvel.run(points, polygons, selected, types=types)
        links, tags, removed = edit
        self.assertEqual(result.links.tolist(), links, label)
        self.assertEqual(list(result.colours), tags, label)
        self.assertEqual(result.colour_codes.tolist(),
                         [tarvel.COLOUR_CODES.get(tag, 0) for tag in tags], label)
        self.assertEqual(result.removed.tolist(), removed, label)
        self.assertEqual(list(result.messages), messages, label)
        self.assertEqual(result.pairs, tags.count("Red"), label)
        self.assertEqual(result.stopped, not links and not removed, label)

    def test_stored_scenes_give_their_traces(self):
        compared = 0
        for path in sorted(glob.glob(source_path("tests", "scenes", "*.json"))):
            scene = load_json(path)
            if not expressible(scene):
                continue
            golden = source_path("tests", "golden",
                                 os.path.basename(path).replace(".json", ".trace.json"))
            with self.subTest(scene=path):
                self.check_against_trace(scene, load_json(golden), path)
                compared += 1
        self.assertGreaterEqual(compared, 8)

    def test_generated_meshes_give_what_tarvel_run_gives(self):
        cases = {
            "grids": facing_grids(6),
            "columns": facing_grids(4, columns=3),
            "far": facing_grids(3, gap=40.0),
        }
        points, quads = facing_grids(2)
        cases["lonely"] = (points[:9], quads[:4])
        with tempfile.TemporaryDirectory() as folder:
            for name, (points, quads) in cases.items():
                with self.subTest(mesh=name):
                    path = os.path.join(folder, name + ".obj")
                    write_obj(path, points, quads)
                    trace_path = os.path.join(folder, name + ".trace.json")
                    _, out, _ = run_program("run", "--all", path, "--json", "--trace",
                                            trace_path, "-o", os.path.join(folder, "out.obj"))
                    report = json.loads(out)
                    result = tarvel.run(points, quads, np.ones(len(quads), dtype=bool))
                    self.assertEqual(result.pairs, report["pairs_linked"])
                    self.assertEqual(result.link_counts, report["links"])
                    self.assertEqual(len(result.links), report["links_added"])
                    self.assertEqual(len(result.removed), report["polygons_removed"])
                    self.assertEqual(list(result.messages), report["messages"])
                    self.assertEqual(result.stop_reason, report.get("stop_reason", ""))
                    self.assertEqual(result.stopped, report["exit_code"] == 3)
                    (links, tags, removed), _ = trace_edit(load_json(trace_path), len(quads))
                    self.assertEqual(result.links.tolist(), links)
                    self.assertEqual(list(result.colours), tags)
                    self.assertEqual(result.removed.tolist(), removed)

    def test_polygon_and_selection_forms_agree(self):
        points, quads = facing_grids(5)
        selected = np.ones(len(quads), dtype=bool)
        selected[3] = False
        base = tarvel.run(points, quads, selected)
        offsets = np.arange(len(quads) + 1) * 4
        forms = [
            tarvel.run(points.tolist(), quads.tolist(), selected),
            tarvel.run(points, (offsets.astype(np.int32), quads.reshape(-1)), selected),
            tarvel.run(points, quads, np.flatnonzero(selected)),
            tarvel.run(points, quads, selected, types=["FACE"] * len(quads)),
            tarvel.run(points, quads, selected, types=np.full(len(quads), 0x46414345)),
        ]
        for result in forms:
            self.assertEqual(result.links.tolist(), base.links.tolist())
            self.assertEqual(result.removed.tolist(), base.removed.tolist())
        self.assertEqual(base.links.dtype, np.int64)
        self.assertEqual(base.links.shape, (len(base.colours), 2))
        self.assertEqual(base.colour_codes.dtype, np.int8)
        self.assertNotIn(3, base.removed.tolist())
        self.assertTrue(base.summary.startswith("1 pair linked, "), base.summary)
        self.assertIn("1 pair linked", repr(base))

    def test_types_the_tool_does_not_take_stop_it(self):
        points, quads = facing_grids(3)
        result = tarvel.run(points, quads, np.ones(len(quads), dtype=bool),
                            types=["CURV"] * len(quads))
        self.assertTrue(result.stopped)
        self.assertEqual(len(result.links), 0)
        self.assertEqual(len(result.removed), 0)
        self.assertTrue(result.messages or result.stop_reason, repr(result))


class FilesTest(unittest.TestCase):
    """read, run and write give tarvel run's output files, byte for byte, and its page."""

    def run_both(self, path, folder, layer=None, selection=("--all",)):
        extension = os.path.splitext(path)[1]
        expected = os.path.join(folder, "cli" + extension)
        layer_args = [] if layer is None else ["--layer", str(layer)]
        code, _, _ = run_program("run", *selection, *layer_args, path, "-o", expected,
                                 "--html", os.path.join(folder, "cli.html"))
        mesh = tarvel.read(path, layer=layer)
        result = tarvel.run(mesh.points, mesh.polygons, mesh.selected, types=mesh.types)
        self.assertEqual(result.stopped, code == 3)
        written = os.path.join(folder, "py" + extension)
        tarvel.write(written, mesh, result)
        with open(expected, "rb") as a, open(written, "rb") as b:
            self.assertEqual(a.read(), b.read(), path)
        self.assertEqual(tarvel.edited_bytes(mesh, result), open(expected, "rb").read())
        return mesh, result

    def test_examples_and_corpus_files_write_as_tarvel_run_writes(self):
        files = [source_path("examples", "facing_grids.obj"),
                 source_path("examples", "facing_grids.lwo"),
                 source_path("fuzz", "corpus", "lwo", "facing_grids_lwo3.lwo"),
                 source_path("fuzz", "corpus", "obj", "quad_and_line.obj")]
        with tempfile.TemporaryDirectory() as folder:
            for path in files:
                with self.subTest(file=path):
                    self.run_both(path, folder)

    def test_sample_objects_write_as_tarvel_run_writes(self):
        files = sorted(glob.glob(source_path("tests", "data", "*", "*.lwo")))
        self.assertGreater(len(files), 5)
        with tempfile.TemporaryDirectory() as folder:
            for path in files:
                with self.subTest(file=path):
                    compare_with_program(self, path, folder)

    def test_a_chosen_layer_and_selection(self):
        path = source_path("fuzz", "corpus", "lwo", "two_layers_lwo3.lwo")
        with tempfile.TemporaryDirectory() as folder:
            mesh, _ = self.run_both(path, folder, layer=2)
            self.assertIn("layer 2", mesh.place)
        obj = tarvel.read(source_path("examples", "facing_grids.obj"))
        some = obj.select(polygons="0-9,20")
        self.assertEqual(np.flatnonzero(some).tolist(), list(range(10)) + [20])
        self.assertEqual(obj.select(polygons=[1, 2]).sum(), 2)
        self.assertEqual(obj.selected.tolist(), obj.select(all=True).tolist())
        self.assertEqual(obj.polygons[0][-1], len(obj.indices))
        self.assertEqual(set(obj.types.tolist()), {"FACE"})

    def test_report_page_is_tarvel_runs(self):
        path = source_path("examples", "facing_grids.obj")
        with tempfile.TemporaryDirectory() as folder:
            self.run_both(path, folder)
            mesh = tarvel.read(path)
            result = tarvel.run(mesh.points, mesh.polygons, mesh.selected)
            page = os.path.join(folder, "py.html")
            tarvel.report(page, mesh, result)
            timed = re.compile(r"\d+\.\d{3} s")
            with open(os.path.join(folder, "cli.html"), encoding="utf-8") as a, \
                    open(page, encoding="utf-8") as b:
                self.assertEqual(timed.sub("T s", a.read()), timed.sub("T s", b.read()))
            # A mesh made from arrays draws the same page.
            made = tarvel.Mesh(mesh.points, mesh.polygons, name=mesh.name)
            tarvel.report(os.path.join(folder, "made.html"), made, result)
            with open(page, encoding="utf-8") as a, \
                    open(os.path.join(folder, "made.html"), encoding="utf-8") as b:
                self.assertEqual(timed.sub("T s", a.read()), timed.sub("T s", b.read()))
            with self.assertRaises(ValueError):
                tarvel.write(os.path.join(folder, "x.obj"), made, result)


class ErrorsTest(unittest.TestCase):
    """Errors are exceptions with the messages tarvel run gives."""

    def program_message(self, *args):
        code, _, err = run_program("run", *args, "--dry-run", check_codes=(1, 2))
        self.assertTrue(err.startswith("tarvel: "), err)
        return err[len("tarvel: "):].rstrip("\n")

    def test_file_errors_carry_the_programs_messages(self):
        with tempfile.TemporaryDirectory() as folder:
            missing = os.path.join(folder, "missing.obj")
            with self.assertRaises(tarvel.FileError) as caught:
                tarvel.read(missing)
            self.assertIsInstance(caught.exception, OSError)
            self.assertEqual(str(caught.exception), self.program_message("--all", missing))
            bad = os.path.join(folder, "bad.obj")
            with open(bad, "w") as file:
                file.write("v 0 0 0\nf 1 2 3\n")
            with self.assertRaises(tarvel.FormatError) as caught:
                tarvel.read(bad)
            self.assertIsInstance(caught.exception, ValueError)
            self.assertEqual(str(caught.exception), self.program_message("--all", bad))
            two = source_path("fuzz", "corpus", "lwo", "two_layers_lwo3.lwo")
            with self.assertRaises(tarvel.SelectionError) as caught:
                tarvel.read(two, layer=9)
            self.assertEqual(str(caught.exception),
                             self.program_message("--all", "--layer", "9", two))
            example = source_path("examples", "facing_grids.obj")
            with self.assertRaises(tarvel.SelectionError) as caught:
                tarvel.read(example).select(surfaces=["nothing such"])
            self.assertEqual(str(caught.exception),
                             self.program_message("--select-surface", "nothing such", example))
            with self.assertRaises(tarvel.SelectionError):
                tarvel.read(example).select(polygons=[999])
            unwritable = os.path.join(folder, "no", "such", "folder", "out.obj")
            mesh = tarvel.read(example)
            result = tarvel.run(mesh.points, mesh.polygons, mesh.selected)
            with self.assertRaises(tarvel.FileError):
                tarvel.write(unwritable, mesh, result)
            self.assertFalse(os.path.exists(unwritable))

    def test_arrays_that_are_no_mesh_are_refused(self):
        points, quads = facing_grids(2)
        everything = np.ones(len(quads), dtype=bool)
        refused = [
            (points[:, :2], quads, everything),
            (points, quads + len(points), everything),
            (points, -quads, everything),
            (points, (np.array([0, 4, 2, 12]), np.zeros(12, np.int64)), np.ones(3, bool)),
            (points, (np.array([1, 4]), np.zeros(4, np.int64)), np.ones(1, bool)),
            (points, (np.array([0, 5]), np.zeros(4, np.int64)), np.ones(1, bool)),
            (points, (np.array([], np.int64), np.zeros(0, np.int64)), np.ones(0, bool)),
            (points, quads, everything[:-1]),
            (points, quads, [len(quads)]),
            (points, quads, [-1]),
            (points, [[0, 1, 2.5]], [0]),
        ]
        for k, (p, polygons, selected) in enumerate(refused):
            with self.subTest(case=k):
                with self.assertRaises(ValueError):
                    tarvel.run(p, polygons, selected)
        for types in (["FAC"] * len(quads), ["FACE"], ["FAC\u00e9"] * len(quads)):
            with self.assertRaises(ValueError):
                tarvel.run(points, quads, everything, types=types)
        for threads in (0, -1, 1.5):
            with self.assertRaises(ValueError):
                tarvel.run(points, quads, everything, threads=threads)
        with self.assertRaisesRegex(tarvel.Error, "no polygons"):
            tarvel.run(points, [], [])

    def test_a_result_belongs_to_its_mesh(self):
        mesh = tarvel.read(source_path("examples", "facing_grids.obj"))
        points, quads = facing_grids(2)
        other = tarvel.run(points, quads, np.ones(len(quads), dtype=bool))
        with tempfile.TemporaryDirectory() as folder:
            with self.assertRaisesRegex(ValueError, "another mesh"):
                tarvel.write(os.path.join(folder, "x.obj"), mesh, other)
            with self.assertRaisesRegex(ValueError, "another mesh"):
                tarvel.report(os.path.join(folder, "x.html"), mesh, other)


class FuzzCorporaTest(unittest.TestCase):
    """Every fuzzer input goes through read and run without a crash, as the program takes it."""

    def test_mesh_file_corpora(self):
        files = sorted(glob.glob(source_path("fuzz", "corpus", "lwo", "*")) +
                       glob.glob(source_path("fuzz", "corpus", "obj", "*")) +
                       glob.glob(source_path("fuzz", "regressions", "*", "*")))
        self.assertGreater(len(files), 5)
        with tempfile.TemporaryDirectory() as folder:
            for path in files:
                with self.subTest(file=path):
                    compare_with_program(self, path, folder)

    def test_module_corpora(self):
        inputs = sorted(glob.glob(source_path("fuzz", "corpus", "module", "*")) +
                        glob.glob(source_path("fuzz", "corpus", "differential", "*")))
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([ARGS.corpus_scenes, folder, *inputs], check=True)
            scenes = sorted(glob.glob(os.path.join(folder, "*.json")))
            scenes += sorted(glob.glob(source_path("fuzz", "corpus", "scene_json", "*")))
            self.assertGreater(len(scenes), 10)
            results = ResultsTest()
            compared = 0
            for path in scenes:
                with self.subTest(scene=path):
                    try:
                        scene = load_json(path)
                        points, polygons, selected, types = scene_arrays(scene)
                    except (ValueError, KeyError, TypeError):
                        continue  # a scene file the host refuses too
                    if not expressible(scene):
                        # What the package cannot say (given normals, the host's answers,
                        # other flags) is left out of the scene the program runs.
                        scene = {"points": scene["points"], "polygons": [
                            {"points": [int(i) for i in polygon["points"]],
                             "type": polygon.get("type", "FACE"),
                             "flags": int(polygon.get("flags", 1)) & 1}
                            for polygon in scene["polygons"]]}
                        path = os.path.join(folder, "plain.json")
                        with open(path, "w", encoding="utf-8") as file:
                            json.dump(scene, file)
                    trace = os.path.join(folder, "trace.json")
                    subprocess.run([ARGS.tarvel, "host", path, "--trace", trace],
                                   capture_output=True)
                    if os.path.exists(trace):
                        results.check_against_trace(scene, load_json(trace), path)
                        os.remove(trace)
                        compared += 1
                        continue
                    # The program refused the scene: the package refuses it or runs it.
                    try:
                        tarvel.run(points, polygons, selected, types=types)
                    except (tarvel.Error, ValueError):
                        pass
            print(f"{compared} of {len(scenes)} scenes compared with their traces")
            self.assertGreater(compared, 20)


class ThreadsTest(unittest.TestCase):
    """The interpreter is free while the tool runs; the thread count changes no result."""

    def test_another_thread_runs_while_the_tool_does(self):
        points, quads = facing_grids(60, columns=4)
        # The extension's own entry, given arrays it takes as they are: NumPy gives the
        # interpreter up in some operations on large arrays, which the package's argument
        # handling may do, and which would hide whether the run itself gives it up.
        offsets = np.arange(len(quads) + 1, dtype=np.int64) * 4
        indices = np.ascontiguousarray(quads.reshape(-1))
        selected = np.ones(len(quads), dtype=bool)

        def run_arrays():
            return tarvel._tarvel.run(points, offsets, indices, selected, None, None, "")

        run_arrays()  # a first call imports what it needs once (imports give it up too)
        interval = sys.getswitchinterval()
        # With the interpreter never handed over by time, another thread runs during the call
        # only if the call gives the interpreter up.
        sys.setswitchinterval(1000.0)
        try:
            for _ in range(3):
                entered, finished = threading.Event(), threading.Event()
                outcome = {}

                def work():
                    entered.set()
                    outcome["result"] = run_arrays()
                    finished.set()

                worker = threading.Thread(target=work)
                worker.start()
                entered.wait()
                during = not finished.is_set()
                worker.join()
                self.assertEqual(outcome["result"]["pairs"], 4)
                if during:
                    break
        finally:
            sys.setswitchinterval(interval)
        self.assertTrue(during, "no other thread ran while the tool ran")

    def test_thread_counts_and_concurrent_calls_agree(self):
        points, quads = facing_grids(110)  # above the size from which the tool shares work
        selected = np.ones(len(quads), dtype=bool)
        base = tarvel.run(points, quads, selected, threads=1)
        self.assertEqual(base.pairs, 1)
        results = []
        callers = [threading.Thread(
            target=lambda k=k: results.append(tarvel.run(points, quads, selected, threads=k)))
            for k in (2, 3, 4)]
        for caller in callers:
            caller.start()
        for caller in callers:
            caller.join()
        self.assertEqual(len(results), 3)
        for result in results:
            self.assertEqual(result.links.tolist(), base.links.tolist())
            self.assertEqual(result.removed.tolist(), base.removed.tolist())
        self.assertNotIn("TARVEL_THREADS", os.environ)


class InstallTest(unittest.TestCase):
    """cmake --install carries the extension and the module file: the package imports and runs
    from the installed folder."""

    def test_installed_package_runs(self):
        with tempfile.TemporaryDirectory() as prefix:
            subprocess.run([ARGS.cmake, "--install", ARGS.build, "--component", "python",
                            "--prefix", prefix], check=True, capture_output=True)
            found = glob.glob(os.path.join(prefix, "lib", "python3*", "dist-packages", "tarvel"))
            self.assertEqual(len(found), 1, os.listdir(prefix))
            self.assertTrue(os.path.exists(os.path.join(found[0], "tarvel.p")))
            self.assertTrue(os.path.exists(os.path.join(found[0], "__init__.pyi")))
            script = ("import tarvel, sys; m = tarvel.read(sys.argv[1]); "
                      "r = tarvel.run(m.points, m.polygons, m.selected); "
                      "print(tarvel.module_file()); print(r.summary.rsplit(',', 1)[0])")
            environment = dict(os.environ, PYTHONPATH=os.path.dirname(found[0]))
            done = subprocess.run([sys.executable, "-c", script,
                                   source_path("examples", "facing_grids.obj")],
                                  capture_output=True, text=True, env=environment, check=True)
            lines = done.stdout.splitlines()
            self.assertEqual(lines[0], os.path.join(found[0], "tarvel.p"))
            self.assertEqual(lines[1],
                             "1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), "
                             "25 polygons removed")


def main():
    global ARGS, np, tarvel
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    for option in ("build", "source", "tarvel", "corpus-scenes", "cmake"):
        parser.add_argument("--" + option, required=True)
    ARGS = parser.parse_args()
    try:
        import numpy
    except ImportError:
        print(f"skipped: NumPy is not installed for {sys.executable}")
        return 77
    package = os.path.join(ARGS.build, "python")
    if not glob.glob(os.path.join(package, "tarvel", "_tarvel*.so")):
        print("skipped: the Python package was not built (pybind11 or the Python headers "
              "missing when configured)")
        return 77
    np = numpy
    sys.path.insert(0, package)
    import tarvel as package_module
    tarvel = package_module
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(globals()[ARGS.case + "Test"])
    outcome = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if outcome.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
