"""The records of a run's files as the tests read them, apart from the package.

Used by the Python package's tests and by tests/vtk/check_vtu.py.
"""

import numpy as np


def records(path):
    """The records of a file, without their CR LF, which ends every one."""
    data = path.read_bytes()
    assert data.endswith(b"\r\n"), path
    return data[:-2].split(b"\r\n")


def real(field):
    """A real field as a float; a three-digit exponent has no letter."""
    text = field.strip().decode()
    if "E" not in text:
        text = text[:-4] + "e" + text[-4:]
    return float(text)


def ints(record):
    """The 8-character integer fields of a record."""
    return [int(record[i:i + 8]) for i in range(0, len(record), 8)]


def pairs(rows):
    """The x and y of each record as a float64 array of two columns."""
    return np.array([[real(r[0:25]), real(r[25:50])] for r in rows], dtype=np.float64)


def text_tables(folder):
    """The counts and the four tables as the three .ent files' text holds them."""
    dados = records(folder / "dados.ent")
    n_nodes, n_volumes, n_real, n_fict = (int(r) for r in dados[:4])
    assert len(dados) == 4 + n_nodes + n_volumes
    return {
        "counts": (n_nodes, n_volumes, n_real, n_fict),
        "node_coords": pairs(dados[4:4 + n_nodes]),
        "volume_nodes": np.array([ints(r) for r in dados[4 + n_nodes:]], dtype=np.int32),
        "volume_neighbours": np.array([ints(r) for r in records(folder / "conectividades.ent")],
                                      dtype=np.int32),
        "barycentres": pairs(records(folder / "baricentros.ent")),
    }
