"""Properties of every mesh, over the space of levels and lengths."""

import numpy as np
from hypothesis import given, settings
from hypothesis import strategies as st

import malha

# Lengths spread over twelve decades, not only near their upper end.
lengths = st.floats(min_value=-6.0, max_value=6.0).map(lambda exponent: 10.0 ** exponent)


def signed_areas(nodes, triangles):
    a, b, c = (nodes[triangles[:, k]] for k in range(3))
    return 0.5 * ((b[:, 0] - a[:, 0]) * (c[:, 1] - a[:, 1])
                  - (c[:, 0] - a[:, 0]) * (b[:, 1] - a[:, 1]))


@settings(max_examples=150, deadline=None, database=None)
@given(level=st.integers(min_value=1, max_value=14), dim_x=lengths, dim_y=lengths)
def test_every_mesh_tiles_the_rectangle_with_anticlockwise_neighbouring_volumes(level, dim_x,
                                                                                 dim_y):
    mesh = malha.build(level, dim_x, dim_y)
    real = ~mesh.is_fictitious
    assert mesh.n_real_volumes == 2 ** level

    areas = signed_areas(mesh.node_coords, mesh.triangles)
    assert (areas > 0).all(), "a volume is not anticlockwise"
    assert np.isclose(areas[real].sum(), dim_x * dim_y, rtol=1e-9, atol=0)

    neighbours = mesh.neighbours
    assert (neighbours[real] >= 0).all(), "a real volume lacks a neighbour"
    volume, column = np.nonzero(neighbours >= 0)
    other = neighbours[volume, column]
    # Symmetric: every pair (v, w) comes with (w, v).
    pairs = np.unique(np.column_stack((volume, other)), axis=0)
    assert np.array_equal(pairs, np.unique(pairs[:, ::-1], axis=0))
    # A real volume and each of its neighbours share an edge: two nodes.
    triangles = mesh.triangles
    from_real = real[volume]
    shared = (triangles[volume[from_real], :, None] == triangles[other[from_real], None, :])
    assert (shared.sum(axis=(1, 2)) == 2).all(), "neighbours without a common edge"
