#!/usr/bin/env python3
"""The yardstick of the batch command: the body-mass index of every row of a patient list read
from standard input, computed the way a first script would, and shown nowhere."""

import csv
import sys

total = 0.0
for row in csv.DictReader(sys.stdin, delimiter=";"):
    try:
        total += float(row["poids"].replace(",", ".")) / float(row["taille"].replace(",", ".")) ** 2
    except (TypeError, ValueError, ZeroDivisionError):
        continue
