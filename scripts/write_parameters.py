#!/usr/bin/env python3
"""Writes a parameter file Kelvara4.dat: thirteen records, a label in columns 1-59 and the
value from column 60, lines ended by line feeds.

usage: write_parameters.py DIR N MASS FRACTION A_AU ECC TURN TILT INCL DENSITY MODE HEADER NAME TRAILER
"""
import sys

LABELS = [
    "Number of orbiting bodies N",
    "Total mass of the system, kg",
    "Share of the total mass in the central body",
    "Semi-major axis of the orbit, AU",
    "Eccentricity of the orbit",
    "Turn between successive orbits about z, x 2pi/N",
    "Tilt between successive orbits about x, x 2pi/N",
    "Inclination of the configuration about x, rad",
    "Density of the bodies, kg/m^3",
    "Layout: 4 = along the Kepler orbit, else at pericentre",
    "Header parameter (passed to the integrator)",
    "Name of the initial-data file",
    "Trailer parameter (passed to the integrator)",
]


def main():
    if len(sys.argv) != 15:
        sys.exit(__doc__)
    directory, values = sys.argv[1], sys.argv[2:]
    lines = []
    for label, value in zip(LABELS, values):
        field = label.ljust(59, ".")[:59]
        lines.append(field + value)
    with open(f"{directory}/Kelvara4.dat", "wb") as out:
        out.write("".join(line + "\n" for line in lines).encode("ascii"))


main()
