"""The examples of the package's documentation run as written."""

import doctest

import pytest

import malha


def test_docstring_examples_run_as_written(tmp_path, monkeypatch):
    pytest.importorskip("meshio")  # the manual converts a mesh with it
    monkeypatch.chdir(tmp_path)    # the examples write into the current folder
    # Each docstring's examples see only the package, so that every other
    # name they use must be imported by the example itself.
    globs = {"malha": malha}
    tests = doctest.DocTestFinder(recurse=False).find(malha, globs=globs)
    for name in malha.__all__:  # with their methods and properties
        tests += doctest.DocTestFinder().find(getattr(malha, name), f"malha.{name}",
                                              module=False, globs=globs)
    tests = [test for test in tests if test.examples]
    assert len(tests) >= 4, [test.name for test in tests]
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    for test in tests:
        runner.run(test)
    assert runner.failures == 0, f"{runner.failures} docstring examples failed"
