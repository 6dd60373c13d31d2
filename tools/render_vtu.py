#!/usr/bin/python3
"""Draws .vtu grids to a PNG image with VTK's Python module (Debian
python3-vtk9); without a display, run it under xvfb-run.

    render_vtu.py malha.vtu picture.png
        malha.vtu with its edges, real volumes blue and fictitious ones orange.
    render_vtu.py --field u [--range LOW HIGH] [--label A --label B ...] a.vtu b.vtu ... picture.png
        each grid's cell field u in blue (low) to red (high), the grids side
        by side in the order given, each under its label (default: its file
        name), with one colour bar; the range defaults to that of all grids.
"""

import argparse
import os
import sys

import vtk


def read(path):
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(path)
    reader.Update()
    return reader.GetOutput()


def volume_kinds():
    """Real volumes blue, fictitious ones orange."""
    lut = vtk.vtkLookupTable()
    lut.SetNumberOfTableValues(2)
    lut.SetTableValue(0, 0.55, 0.75, 0.95, 1.0)
    lut.SetTableValue(1, 0.95, 0.6, 0.25, 1.0)
    lut.SetRange(0, 1)
    lut.Build()
    return lut


def blue_to_red(low, high):
    """A diverging blue-white-red table over [low, high]."""
    colours = vtk.vtkColorTransferFunction()
    colours.SetColorSpaceToDiverging()
    colours.AddRGBPoint(low, 0.23, 0.30, 0.75)
    colours.AddRGBPoint(high, 0.71, 0.02, 0.15)
    lut = vtk.vtkLookupTable()
    lut.SetNumberOfTableValues(256)
    lut.SetRange(low, high)
    for i in range(256):
        lut.SetTableValue(i, *colours.GetColor(low + (high - low) * i / 255), 1.0)
    return lut


def actor_of(grid, field, lut, low, high, edges):
    grid.GetCellData().SetActiveScalars(field)
    surface = vtk.vtkDataSetSurfaceFilter()
    surface.SetInputData(grid)
    mapper = vtk.vtkDataSetMapper()
    mapper.SetInputConnection(surface.GetOutputPort())
    mapper.SetScalarModeToUseCellData()
    mapper.SetLookupTable(lut)
    mapper.SetScalarRange(low, high)
    mapper.SetColorModeToMapScalars()
    actor = vtk.vtkActor()
    actor.SetMapper(mapper)
    actor.GetProperty().LightingOff()
    if edges:
        actor.GetProperty().EdgeVisibilityOn()
        actor.GetProperty().SetEdgeColor(0.15, 0.15, 0.15)
        actor.GetProperty().SetLineWidth(0.6)
    return actor


def label_of(text):
    label = vtk.vtkTextActor()
    label.SetInput(text)
    label.GetTextProperty().SetColor(0, 0, 0)
    label.GetTextProperty().SetFontSize(20)
    label.GetTextProperty().SetJustificationToCentered()
    label.GetPositionCoordinate().SetCoordinateSystemToNormalizedViewport()
    label.SetPosition(0.5, 0.88)
    return label


def main():
    p = argparse.ArgumentParser(description="Draws .vtu grids to a PNG image.")
    p.add_argument("--field", help="the cell field to colour (default: the volumes' kinds)")
    p.add_argument("--range", type=float, nargs=2, metavar=("LOW", "HIGH"))
    p.add_argument("--label", action="append", dest="labels", help="a grid's label, in order")
    p.add_argument("grids", nargs="+", help="the .vtu files")
    p.add_argument("picture", help="the PNG file")
    args = p.parse_args()
    # VTK's on-screen window class stops the process without a display.
    if not os.environ.get("DISPLAY"):
        sys.exit("render_vtu.py: no display: run it under xvfb-run -a (Debian xvfb)")
    grids = [read(path) for path in args.grids]
    window = vtk.vtkRenderWindow()
    window.SetOffScreenRendering(1)
    if args.field is None:
        lut, low, high, field = volume_kinds(), 0, 1, "fictitious"
    else:
        field = args.field
        ranges = [grid.GetCellData().GetArray(field).GetRange() for grid in grids]
        low, high = args.range or (min(r[0] for r in ranges), max(r[1] for r in ranges))
        lut = blue_to_red(low, high)
    width = 1.0 / len(grids)
    bottom = 0.0 if args.field is None else 0.2  # a field's colour bar below the grids
    labels = args.labels or (args.grids if args.field else [])
    for i, grid in enumerate(grids):
        renderer = vtk.vtkRenderer()
        renderer.SetViewport(i * width, bottom, (i + 1) * width, 1)
        renderer.AddActor(actor_of(grid, field, lut, low, high, edges=args.field is None))
        renderer.SetBackground(1, 1, 1)
        if i < len(labels):
            renderer.AddActor2D(label_of(labels[i]))
        window.AddRenderer(renderer)
        renderer.ResetCamera()
        renderer.GetActiveCamera().Zoom(1.45 if args.field is None else 1.7)
    if args.field is None:
        window.SetSize(900, 480)
    else:
        bar = vtk.vtkScalarBarActor()
        bar.SetLookupTable(lut)
        bar.SetTitle(field)
        bar.SetOrientationToHorizontal()
        bar.SetNumberOfLabels(5)
        bar.GetTitleTextProperty().SetColor(0, 0, 0)
        bar.GetLabelTextProperty().SetColor(0, 0, 0)
        bar.SetPosition(0.3, 0.05)
        bar.SetWidth(0.4)
        bar.SetHeight(0.9)
        strip = vtk.vtkRenderer()
        strip.SetViewport(0, 0, 1, bottom)
        strip.SetBackground(1, 1, 1)
        strip.AddActor2D(bar)
        window.AddRenderer(strip)
        window.SetSize(420 * len(grids), 300)
    window.Render()
    grab = vtk.vtkWindowToImageFilter()
    grab.SetInput(window)
    writer = vtk.vtkPNGWriter()
    writer.SetFileName(args.picture)
    writer.SetInputConnection(grab.GetOutputPort())
    writer.Write()


if __name__ == "__main__":
    main()
