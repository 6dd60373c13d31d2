"""malha.Faces: the faces of a mesh from Python, against a brute force from the triangles."""

import gc

import numpy as np
import pytest

import malha

LENGTHS = [(1.0, 1.0), (2.0, 1.0), (0.3, 7.0), (-2.0, 1.0)]
VIEWS = ("owner", "neighbour", "nodes", "normal", "length", "side", "volume_areas",
         "volume_faces")
COMPUTED = ("midpoint", "delta", "normal_distance", "non_orthogonality")
SIDE_NAMES = ("bottom", "right", "top", "left")


def brute_force(mesh):
    """The faces from the triangles alone, edges paired by their node sets."""
    n, triangles, nodes = mesh.n_real_volumes, mesh.triangles, mesh.node_coords
    edges = {}  # node set -> [(volume, edge)]
    for volume in range(mesh.n_volumes):
        for k in range(3):
            key = frozenset((triangles[volume, k], triangles[volume, (k + 1) % 3]))
            edges.setdefault(key, []).append((volume, k))
    faces = []  # (owner, neighbour, edge)
    for volume in range(n):
        for k in range(3):
            key = frozenset((triangles[volume, k], triangles[volume, (k + 1) % 3]))
            other = next(v for v, _ in edges[key] if v != volume)
            if volume < other < n:
                faces.append((volume, other, k))
    for ghost in range(n, mesh.n_volumes):  # its one edge against a real volume
        for k in range(3):
            key = frozenset((triangles[ghost, k], triangles[ghost, (k + 1) % 3]))
            faces.extend((v, ghost, edge) for v, edge in edges[key] if v < n)
    owner, neighbour, edge = (np.array(column) for column in zip(*faces))
    face_nodes = np.column_stack((triangles[owner, edge], triangles[owner, (edge + 1) % 3]))
    tangent = nodes[face_nodes[:, 1]] - nodes[face_nodes[:, 0]]
    length = np.hypot(*tangent.T)
    normal = np.column_stack((tangent[:, 1], -tangent[:, 0])) / length[:, None]
    middle = (nodes[face_nodes[:, 0]] + nodes[face_nodes[:, 1]]) / 2
    outward = np.einsum("ij,ij->i", normal, middle - mesh.barycentres[owner])
    normal *= np.sign(outward)[:, None]
    side = np.zeros(len(faces), dtype=np.int8)
    boundary = neighbour >= n
    scale = max(abs(mesh.dim_x), abs(mesh.dim_y))
    for number, (axis, value) in enumerate(((1, 0.0), (0, mesh.dim_x), (1, mesh.dim_y),
                                            (0, 0.0)), start=1):
        side[boundary & np.isclose(middle[:, axis], value, rtol=0, atol=1e-12 * scale)] = number
    volume_faces = np.zeros((n, 3), dtype=np.int32)
    volume_faces[owner, edge] = np.arange(len(faces))
    inner = ~boundary
    for face in np.flatnonzero(inner):  # the neighbour's edge of the same nodes
        k = next(k for v, k in edges[frozenset(face_nodes[face])] if v == neighbour[face])
        volume_faces[neighbour[face], k] = face
    corners = nodes[triangles]
    e1, e2 = corners[:, 1] - corners[:, 0], corners[:, 2] - corners[:, 0]
    areas = np.abs(e1[:, 0] * e2[:, 1] - e1[:, 1] * e2[:, 0]) / 2
    return dict(owner=owner, neighbour=neighbour, nodes=face_nodes, normal=normal,
                length=length, side=side, volume_areas=areas, volume_faces=volume_faces)


@pytest.mark.parametrize("dim_x, dim_y", LENGTHS)
@pytest.mark.parametrize("level", range(1, 8))
def test_faces_equal_the_brute_force(level, dim_x, dim_y):
    mesh = malha.build(level, dim_x, dim_y)
    faces = mesh.faces()
    expected = brute_force(mesh)
    n_boundary = mesh.n_fict_volumes
    assert (faces.n_faces, faces.n_interior_faces, faces.n_boundary_faces) == (
        len(expected["owner"]), len(expected["owner"]) - n_boundary, n_boundary)
    for name in ("owner", "neighbour", "nodes", "side", "volume_faces"):
        array = getattr(faces, name)
        assert array.dtype == (np.int8 if name == "side" else np.int32), name
        assert np.array_equal(array, expected[name]), name
    for name in ("normal", "length", "volume_areas"):
        array = getattr(faces, name)
        assert array.dtype == np.float64 and array.shape == expected[name].shape, name
        np.testing.assert_allclose(array, expected[name], rtol=1e-14, atol=1e-15 * abs(dim_x),
                                   err_msg=name)


@pytest.mark.parametrize("dim_x, dim_y", LENGTHS)
@pytest.mark.parametrize("level", [1, 2, 5, 10])
def test_computed_arrays(level, dim_x, dim_y):
    mesh = malha.build(level, dim_x, dim_y)
    faces = mesh.faces()
    ends = mesh.node_coords[faces.nodes]
    np.testing.assert_allclose(faces.midpoint, ends.mean(axis=1), rtol=1e-15, atol=1e-15)
    bary = mesh.barycentres
    assert np.array_equal(faces.delta, bary[faces.neighbour] - bary[faces.owner])
    np.testing.assert_allclose(faces.normal_distance, (faces.delta * faces.normal).sum(axis=1),
                               rtol=1e-15, atol=1e-15)
    assert (faces.normal_distance > 0).all()  # the normal points towards the neighbour
    cosine = faces.normal_distance / np.hypot(*faces.delta.T)
    np.testing.assert_allclose(np.cos(np.radians(faces.non_orthogonality)), cosine,
                               rtol=1e-12)
    for name in COMPUTED:
        assert getattr(faces, name) is getattr(faces, name), name  # computed once


# The largest angles are those of the 3-4-5 triangle: atan(3/4) and atan(4/3).
@pytest.mark.parametrize("dim_x, dim_y, largest", [
    (1.0, 1.0, 0.0), (2.0, 1.0, 36.869897645844), (1.0, 3.0, 53.130102354156)])
def test_non_orthogonality_of_the_three_rectangles(dim_x, dim_y, largest):
    for level in (4, 9, 12):
        faces = malha.build(level, dim_x, dim_y).faces()
        angles = faces.non_orthogonality
        assert angles.max() == pytest.approx(largest, abs=1e-5), level
        assert (angles[faces.n_interior_faces:] < 1e-5).all(), level  # ghosts are mirrors


@pytest.mark.parametrize("source", ["build", "read"])
@pytest.mark.parametrize("name", VIEWS + COMPUTED)
def test_no_array_can_be_made_writable(tmp_path, source, name):
    mesh = malha.build(5, 2.5, 0.7)
    if source == "read":
        mesh.write(tmp_path)
        mesh = malha.read(tmp_path)
    faces = mesh.faces()
    array = getattr(faces, name)
    before = array.copy()
    if name in VIEWS:
        assert np.shares_memory(array, getattr(faces, name)), "a view, not a copy"
    chain = [array]
    while isinstance(chain[-1].base, np.ndarray):
        chain.append(chain[-1].base)
    for link in chain:
        with pytest.raises(ValueError):
            link.setflags(write=True)
        with pytest.raises(ValueError):
            link.flat[0] = 1
    assert np.array_equal(getattr(mesh.faces(), name), before)


@pytest.mark.parametrize("level", [1, 3, 6])
def test_on_side_by_number_and_by_name(level):
    mesh = malha.build(level, 2.0, 3.0)
    faces = mesh.faces()
    runs = []
    for number, name in enumerate(SIDE_NAMES, start=1):
        run = faces.on_side(number)
        assert isinstance(run, range) and run == faces.on_side(name)
        assert len(run) == faces.n_boundary_faces // 4
        assert (faces.side[run] == number).all()
        axis, value = ((1, 0.0), (0, 2.0), (1, 3.0), (0, 0.0))[number - 1]
        assert np.allclose(faces.midpoint[run, axis], value, rtol=0, atol=1e-14)
        runs.extend(run)
    assert runs == list(range(faces.n_interior_faces, faces.n_faces))
    assert np.array_equal(faces.neighbour[runs], np.arange(mesh.n_real_volumes, mesh.n_volumes))


def test_faces_outlive_their_mesh():
    mesh = malha.build(6, 2.5, 0.7)
    faces = mesh.faces()
    expected = {name: np.array(getattr(faces, name)) for name in VIEWS}
    node_coords = np.array(mesh.node_coords)
    owner = faces.owner
    del mesh
    gc.collect()
    malha.build(6, 9.0, 9.0)  # storage freed too early would be reused here
    for name, values in expected.items():
        assert np.array_equal(getattr(faces, name), values), name
    assert np.array_equal(faces.midpoint, node_coords[faces.nodes].mean(axis=1))
    del faces
    gc.collect()
    malha.build(6, 9.0, 9.0)
    assert np.array_equal(owner, expected["owner"])


@pytest.mark.parametrize("side, error", [
    (0, ValueError), (5, ValueError), (-1, ValueError), ("middle", ValueError),
    ("Bottom", ValueError), ("", ValueError), (1.0, TypeError), (None, TypeError),
    (True, TypeError), ([1], TypeError),
])
def test_bad_sides(side, error):
    with pytest.raises(error, match="side"):
        malha.build(3, 2.0, 1.0).faces().on_side(side)


def test_numpy_integer_sides_are_accepted():
    faces = malha.build(4, 2.0, 1.0).faces()
    assert faces.on_side(np.int64(2)) == faces.on_side(2)


def test_face_geometry_is_made_at_its_first_use():
    faces = malha.build(4, 2.0, 1.0).faces()
    assert "_geometry" not in vars(faces) and faces.owner.size == faces.n_faces
    assert faces.delta.shape == (faces.n_faces, 2) and "_geometry" in vars(faces)


def test_faces_are_made_by_the_mesh_only():
    with pytest.raises(TypeError):
        malha.Faces(object(), object())


def test_faces_of_a_rectangle_without_area_are_a_math_error():
    with pytest.raises(malha.Error) as caught:
        malha.build(3, 0.0, 1.0).faces()
    assert (caught.value.code, caught.value.operation) == ("M3001", "MATH")
    assert malha.build(3, 2.0, 1.0).faces().n_faces == 16


def test_gradients_are_the_least_squares_fit_of_each_volume():
    """Random values, ghosts included: each row is numpy's fit over the three neighbours."""
    mesh = malha.build(5, 2.0, 1.0)
    faces = mesh.faces()
    values = np.random.default_rng(5).normal(size=mesh.n_volumes)
    gradients = faces.gradients(values)
    assert gradients.shape == (mesh.n_real_volumes, 2) and gradients.dtype == np.float64
    assert gradients.flags.c_contiguous and gradients.flags.writeable
    neighbours = mesh.neighbours[:mesh.n_real_volumes]
    for volume in range(mesh.n_real_volumes):
        d = mesh.barycentres[neighbours[volume]] - mesh.barycentres[volume]
        fit = np.linalg.lstsq(d, values[neighbours[volume]] - values[volume], rcond=None)[0]
        np.testing.assert_allclose(gradients[volume], fit, rtol=1e-12, atol=1e-12)
    assert faces.gradients(list(values)).tolist() == gradients.tolist()


@pytest.mark.parametrize("values, error", [
    (np.zeros(23), ValueError), (np.zeros(16), ValueError), (np.zeros((24, 1)), ValueError),
    (np.zeros(24, dtype=complex), TypeError), (["a"] * 24, TypeError),
    (np.r_[np.zeros(23), np.nan], ValueError), (np.r_[np.inf, np.zeros(23)], ValueError),
])
def test_gradients_refuse(values, error):
    with pytest.raises(error, match="values"):
        malha.build(4, 2.0, 1.0).faces().gradients(values)
