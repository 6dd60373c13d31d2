"""The examples of the package's documentation run as written."""

import doctest

import pytest

import malha


def test_docstring_examples_run_as_written(tmp_path, monkeypatch):
    pytest.importorskip("meshio")  # the manual converts a mesh with it
    monkeypatch.chdir(tmp_path)    # the examples write into the current folder
    # Each docstring's examples see only the package, so that every other
    # name they use must be imported by the example itself.
    finder = doctest.DocTestFinder()
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    tests = [test for module in (malha,) for test in finder.find(module, globs={"malha": malha})
             if test.examples]
    assert tests
    for test in tests:
        runner.run(test)
    assert runner.failures == 0, f"{runner.failures} docstring examples failed"
