#!/usr/bin/python3
"""Draws malha.vtu to a PNG image, real volumes blue and fictitious ones
orange, with VTK's Python module (Debian python3-vtk9); without a display,
run it under xvfb-run.

    render_vtu.py malha.vtu picture.png
"""

import sys

import vtk
reader = vtk.vtkXMLUnstructuredGridReader()
reader.SetFileName(sys.argv[1])
reader.Update()
grid = reader.GetOutput()
grid.GetCellData().SetActiveScalars("fictitious")
lut = vtk.vtkLookupTable()
lut.SetNumberOfTableValues(2)
lut.SetTableValue(0, 0.55, 0.75, 0.95, 1.0)
lut.SetTableValue(1, 0.95, 0.6, 0.25, 1.0)
lut.SetRange(0, 1)
lut.Build()
surface = vtk.vtkDataSetSurfaceFilter()
surface.SetInputData(grid)
mapper = vtk.vtkDataSetMapper()
mapper.SetInputConnection(surface.GetOutputPort())
mapper.SetScalarModeToUseCellData()
mapper.SetLookupTable(lut)
mapper.SetScalarRange(0, 1)
mapper.SetColorModeToMapScalars()
actor = vtk.vtkActor()
actor.SetMapper(mapper)
actor.GetProperty().EdgeVisibilityOn()
actor.GetProperty().LightingOff()
actor.GetProperty().SetEdgeColor(0.15, 0.15, 0.15)
actor.GetProperty().SetLineWidth(0.6)
renderer = vtk.vtkRenderer()
renderer.AddActor(actor)
renderer.SetBackground(1, 1, 1)
window = vtk.vtkRenderWindow()
window.SetOffScreenRendering(1)
window.AddRenderer(renderer)
window.SetSize(900, 480)
renderer.ResetCamera()
renderer.GetActiveCamera().Zoom(1.45)
window.Render()
grab = vtk.vtkWindowToImageFilter()
grab.SetInput(window)
writer = vtk.vtkPNGWriter()
writer.SetFileName(sys.argv[2])
writer.SetInputConnection(grab.GetOutputPort())
writer.Write()
