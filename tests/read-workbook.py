#!/usr/bin/env python3
"""Prints what an independent reader (openpyxl) finds in a workbook, as JSON:
per sheet, its name, its frozen cell, and every cell with value, type, number
format and whether it is bold; with --properties, the document's properties."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
if len(sys.argv) > 2 and sys.argv[2] == "--properties":
    p = book.properties
    json.dump({"title": p.title, "creator": p.creator, "keywords": p.keywords,
               "description": p.description, "status": p.contentStatus,
               "created": p.created.isoformat() if p.created else None},
              sys.stdout, ensure_ascii=False)
    sys.exit(0)
sheets = []
for sheet in book.worksheets:
    cells = []
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            cells.append({"at": cell.coordinate, "value": cell.value, "type": cell.data_type,
                          "format": cell.number_format, "bold": bool(cell.font.b)})
    sheets.append({"name": sheet.title, "frozen": sheet.freeze_panes, "cells": cells})
json.dump(sheets, sys.stdout, ensure_ascii=False)
