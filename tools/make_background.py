#!/usr/bin/env python3
"""Draws the installer's background picture: a calm night over a mountain
lake, 600 x 450, and writes it as a binary PPM (P6).

The picture is made for a run-length format: the sky and the water are
gradients in flat bands several rows high, the shapes are solid silhouettes,
and the few stars are small. The upper-left corner (where the menu buttons
go) and the lower-right corner (where the title goes) are kept quiet.

Usage: make_background.py [output.ppm]   (default: src/data/background.ppm)
"""

import math
import os
import random
import sys

WIDTH = 600
HEIGHT = 450
HORIZON = 318  # first row of water

# Areas drawn over by the installer: keep them free of detail.
BUTTON_AREA = (15, 10, 140, 200)  # x0, y0, x1, y1 (inclusive-exclusive)
TITLE_AREA = (415, 375, 600, 450)


def Mix(A, B, T):
    return tuple(int(round(a + (b - a) * T)) for a, b in zip(A, B))


def Gradient(Stops, T):
    """Colour at T (0..1) along a list of (position, colour) stops."""
    if T <= Stops[0][0]:
        return Stops[0][1]
    for (P0, C0), (P1, C1) in zip(Stops, Stops[1:]):
        if T <= P1:
            return Mix(C0, C1, (T - P0) / (P1 - P0))
    return Stops[-1][1]


def InArea(X, Y, Area):
    return Area[0] <= X < Area[2] and Area[1] <= Y < Area[3]


SKY_STOPS = [
    (0.00, (22, 26, 66)),
    (0.35, (40, 44, 104)),
    (0.62, (78, 62, 132)),
    (0.80, (146, 90, 146)),
    (0.92, (214, 132, 128)),
    (1.00, (240, 176, 132)),
]


def SkyColour(Y):
    Band = 10 if Y < 200 else 6
    Y0 = (Y // Band) * Band
    return Gradient(SKY_STOPS, Y0 / HORIZON)


WATER_STOPS = [
    (0.00, (150, 96, 120)),
    (0.10, (92, 64, 112)),
    (0.35, (44, 42, 90)),
    (0.70, (24, 28, 64)),
    (1.00, (16, 20, 48)),
]


def WaterColour(Y):
    Depth = Y - HORIZON
    Band = 4 if Depth < 24 else 8
    D0 = (Depth // Band) * Band
    return Gradient(WATER_STOPS, D0 / (HEIGHT - HORIZON))


def Ridge(Seed, Base, Amplitude, Roughness, Waves):
    """A mountain profile: the top row of the silhouette for every column."""
    Rng = random.Random(Seed)
    Size = 1024
    Points = [0.0] * (Size + 1)
    Points[0] = Rng.random() - 0.5
    Points[Size] = Rng.random() - 0.5
    Step = Size
    Scale = 1.0
    while Step > 1:
        Half = Step // 2
        for At in range(Half, Size, Step):
            Points[At] = (Points[At - Half] + Points[At + Half]) / 2 + (Rng.random() - 0.5) * Scale
        Step = Half
        Scale *= Roughness
    Tops = []
    for X in range(WIDTH):
        Noise = Points[X * Size // WIDTH]
        Shape = sum(A * math.sin(X * F + P) for A, F, P in Waves)
        Tops.append(int(round(Base - Amplitude * (Noise + Shape))))
    return Tops


def Main():
    Output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src", "data", "background.ppm")

    Pixels = [[(0, 0, 0)] * WIDTH for _ in range(HEIGHT)]

    # Sky in bands, brightening towards the horizon.
    for Y in range(HORIZON):
        Row = [SkyColour(Y)] * WIDTH
        Pixels[Y] = Row

    # The moon: a soft halo of flat rings, then the disc with two faint maria.
    MoonX, MoonY, MoonR = 372, 84, 26
    Halo = [(MoonR + 44, 0.05), (MoonR + 26, 0.10), (MoonR + 12, 0.18)]
    MoonLight = (236, 232, 214)
    for Radius, Strength in Halo:
        for Y in range(max(0, MoonY - Radius), min(HORIZON, MoonY + Radius + 1)):
            Span = int(math.sqrt(Radius * Radius - (Y - MoonY) ** 2))
            for X in range(max(0, MoonX - Span), min(WIDTH, MoonX + Span + 1)):
                Pixels[Y][X] = Mix(SkyColour(Y), MoonLight, Strength)
    Maria = [(-8, -7, 9, 6, (214, 210, 196)), (7, 6, 8, 7, (222, 218, 202)),
             (-4, 11, 5, 4, (218, 214, 199))]
    for Y in range(MoonY - MoonR, MoonY + MoonR + 1):
        Span = int(math.sqrt(MoonR * MoonR - (Y - MoonY) ** 2))
        for X in range(MoonX - Span, MoonX + Span + 1):
            Colour = MoonLight
            for Dx, Dy, Rx, Ry, Shade in Maria:
                if ((X - MoonX - Dx) / Rx) ** 2 + ((Y - MoonY - Dy) / Ry) ** 2 <= 1:
                    Colour = Shade
            Pixels[Y][X] = Colour

    # Stars: a few, small, none over the buttons or too near the moon.
    Rng = random.Random(2011)
    Stars = []
    while len(Stars) < 46:
        X = int(Rng.random() * WIDTH)
        Y = int(Rng.random() * 175)
        if InArea(X, Y, BUTTON_AREA) or math.hypot(X - MoonX, Y - MoonY) < MoonR + 52:
            continue
        Stars.append((X, Y, Rng.random()))
    for X, Y, Kind in Stars:
        Base = SkyColour(Y)
        if Kind < 0.15:
            # A brighter star: a small cross.
            Pixels[Y][X] = (255, 250, 236)
            for Dx, Dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if 0 <= X + Dx < WIDTH and 0 <= Y + Dy < HEIGHT:
                    Pixels[Y + Dy][X + Dx] = Mix(Base, (255, 250, 236), 0.5)
        elif Kind < 0.55:
            Pixels[Y][X] = Mix(Base, (255, 248, 230), 0.85)
            if X + 1 < WIDTH:
                Pixels[Y][X + 1] = Mix(Base, (255, 248, 230), 0.45)
        else:
            Pixels[Y][X] = Mix(Base, (220, 226, 255), 0.6)

    # Mountain ranges, far to near: hazy violet, deep blue, almost black.
    Ranges = [
        (Ridge(7, 244, 64, 0.55, [(0.35, 0.011, 0.4), (0.2, 0.023, 2.0)]), (96, 76, 140)),
        (Ridge(19, 276, 46, 0.52, [(0.4, 0.008, 2.6), (0.15, 0.031, 0.3)]), (58, 50, 104)),
        (Ridge(31, 305, 20, 0.5, [(0.5, 0.006, 4.1), (0.2, 0.017, 1.1)]), (32, 32, 70)),
    ]
    Colours = [[None] * WIDTH for _ in range(HORIZON)]  # mountain colour per pixel
    for Tops, Colour in Ranges:
        for X in range(WIDTH):
            Top = max(Tops[X], 150)
            for Y in range(Top, HORIZON):
                Pixels[Y][X] = Colour
                Colours[Y][X] = Colour

    # Water: banded, darkening with depth, with the mountains mirrored.
    for Y in range(HORIZON, HEIGHT):
        Water = WaterColour(Y)
        Row = [Water] * WIDTH
        Mirror = 2 * HORIZON - 1 - Y
        if Mirror >= 0:
            for X in range(WIDTH):
                Source = Colours[Mirror][X]
                if Source is not None:
                    Row[X] = Mix(Source, Water, 0.45)
        Pixels[Y] = Row

    # Moonlight on the water: broken horizontal streaks under the moon,
    # widening with distance, kept clear of the title corner.
    Rng = random.Random(77)
    Y = HORIZON + 3
    while Y < HEIGHT - 3:
        Depth = (Y - HORIZON) / (HEIGHT - HORIZON)
        Half = int(5 + 22 * Depth + Rng.random() * 8)
        Shift = int((Rng.random() - 0.5) * 10)
        Colour = Mix(WaterColour(Y), MoonLight, 0.55 - 0.3 * Depth)
        for X in range(MoonX - Half + Shift, min(MoonX + Half + Shift, TITLE_AREA[0] - 8)):
            if 0 <= X < WIDTH:
                Pixels[Y][X] = Colour
        Y += 3 + int(Rng.random() * 4)

    # Ripples: short pale lines scattered over the open water.
    Rng = random.Random(5)
    Placed = 0
    while Placed < 34:
        X = int(Rng.random() * WIDTH)
        Y = HORIZON + 6 + int(Rng.random() * (HEIGHT - HORIZON - 10))
        Length = 8 + int(Rng.random() * 40)
        if InArea(X, Y, TITLE_AREA) or InArea(X + Length, Y, TITLE_AREA) or abs(X - MoonX) < 70:
            continue
        Colour = Mix(Pixels[Y][X], (200, 170, 210), 0.22)
        for Dx in range(Length):
            if X + Dx < WIDTH and not InArea(X + Dx, Y, TITLE_AREA):
                Pixels[Y][X + Dx] = Colour
        Placed += 1

    # Foreground: a dark bank in the lower left with a stand of pines.
    Bank = (12, 14, 32)

    def BankTop(X):
        return int(HEIGHT - 96 * max(0.0, 1 - X / 330) ** 1.5)

    for X in range(WIDTH):
        for Y in range(BankTop(X), HEIGHT):
            Pixels[Y][X] = Bank
    Pines = [(16, 156), (42, 124), (68, 142), (96, 100), (122, 112), (148, 82), (176, 72),
             (204, 58), (232, 44)]
    for Foot, Tall in Pines:
        Base = BankTop(Foot) + 8
        Top = Base - Tall
        for Y in range(Top, min(Base, HEIGHT)):
            Down = (Y - Top) / Tall
            # Tiers of branches: each widens, then steps back in.
            Tier = (Down * 5) % 1.0
            Half = int((3 + 15 * Down) * (0.55 + 0.45 * Tier))
            for X in range(Foot - Half, Foot + Half + 1):
                if 0 <= X < WIDTH:
                    Pixels[Y][X] = Bank
        for Y in range(Base - 4, HEIGHT):
            for X in range(Foot - 1, Foot + 2):
                if 0 <= X < WIDTH:
                    Pixels[Y][X] = Bank

    Data = bytearray(b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT))
    for Row in Pixels:
        for R, G, B in Row:
            Data += bytes((R, G, B))
    with open(Output, "wb") as File:
        File.write(Data)


if __name__ == "__main__":
    Main()
