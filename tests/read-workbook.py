#!/usr/bin/env python3
"""Prints what an independent reader (openpyxl) finds in a workbook, as JSON:
per sheet, its name, its frozen cell, and every cell with value, type, number
format, whether it is bold, its font colour and whether its column is hidden;
with --properties, the document's properties; with --charts, each chart's
title and series, their names, the values their references point at and
the values cached in the chart."""
import json
import re
import sys
import zipfile
import xml.etree.ElementTree as tree

import openpyxl
from openpyxl.utils.cell import range_boundaries

book = openpyxl.load_workbook(sys.argv[1])
if len(sys.argv) > 2 and sys.argv[2] == "--properties":
    p = book.properties
    json.dump({"title": p.title, "creator": p.creator, "keywords": p.keywords,
               "description": p.description, "status": p.contentStatus,
               "created": p.created.isoformat() if p.created else None},
              sys.stdout, ensure_ascii=False)
    sys.exit(0)
if len(sys.argv) > 2 and sys.argv[2] == "--charts":
    space = {"c": "http://schemas.openxmlformats.org/drawingml/2006/chart",
             "a": "http://schemas.openxmlformats.org/drawingml/2006/main"}

    def values(reference):
        sheet, cells = re.fullmatch(r"'?(.*?)'?!(.*)", reference).groups()
        left, top, right, bottom = range_boundaries(cells.replace("$", ""))
        return [c.value for row in book[sheet.replace("''", "'")].iter_rows(
            min_row=top, max_row=bottom, min_col=left, max_col=right) for c in row]

    archive = zipfile.ZipFile(sys.argv[1])
    names = [n for n in archive.namelist() if re.fullmatch(r"xl/charts/chart\d+\.xml", n)]
    charts = []
    for name in sorted(names, key=lambda n: int(re.search(r"\d+", n).group())):
        chart = tree.fromstring(archive.read(name))
        title = "".join(t.text or "" for t in chart.findall("c:chart/c:title//a:t", space))
        series = []
        for s in chart.findall(".//c:ser", space):
            series.append({"name": "".join(v.text for v in s.findall("c:tx//c:v", space)),
                           "x": values(s.find("c:xVal//c:f", space).text),
                           "y": values(s.find("c:yVal//c:f", space).text),
                           # what a reader shows before it reads the cells
                           "cached": [float(v.text) for v in
                                      s.findall("c:yVal//c:numCache/c:pt/c:v", space)]})
        charts.append({"part": name, "title": title, "series": series})
    json.dump(charts, sys.stdout, ensure_ascii=False)
    sys.exit(0)
sheets = []
for sheet in book.worksheets:
    hidden = [(d.min, d.max) for d in sheet.column_dimensions.values() if d.hidden]
    cells = []
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            colour = cell.font.color.rgb if cell.font.color is not None else None
            cells.append({"at": cell.coordinate, "value": cell.value, "type": cell.data_type,
                          "format": cell.number_format, "bold": bool(cell.font.b),
                          "colour": colour if isinstance(colour, str) else None,
                          "hidden": any(a <= cell.column <= b for a, b in hidden)})
    sheets.append({"name": sheet.title, "frozen": sheet.freeze_panes, "cells": cells})
json.dump(sheets, sys.stdout, ensure_ascii=False)
