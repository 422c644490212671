#!/usr/bin/env python3
"""Writes the synthetic national sample dust data set (data/dustdata/*.csv)
and the sample claimant (data/sample_history.json).

Every name is invented and every value is drawn from a seeded random
generator, so the output is the same on every run:

    python3 data/generate_sample.py

There is no dust_matrix.csv: a database built from the folder is expanded
on first open.
"""

import csv
import json
import os
import random

SEED = 19470101
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "dustdata")

BASE_YEAR = 1947
AA_END_YEAR = 1994
STRIKE_YEARS = (1972, 1984)
OPEN_TORTIOUS_END = 2030  # tortious values of pits still working run to here
PAST_CLOSURE = 5

# Survey rounds of the dust sampling scheme: about four years each.
ROUNDS = [(1949, 1952), (1953, 1956), (1957, 1960), (1961, 1964), (1965, 1968),
          (1969, 1972), (1973, 1976), (1977, 1980), (1981, 1984), (1985, 1988),
          (1989, 1992)]

# Twelve coal areas of invented names, each with its own dust level.
AREAS = ["Arnmoor", "Brisvale", "Corrowfield", "Dunmarch", "Elsforth", "Fennock Water",
         "Glasterdale", "Holmbrack", "Isterwell", "Kelvarn", "Lorrimoor", "Marrowdene"]
NATIONAL_AREA = 13
SMALL_MINE_AREA = 14
AVERAGE_ID_BASE = 9000  # area n has the area-average colliery 9000 + n

# Respirable dust level of a typical pit, by year (falling as dust
# suppression improved); between the points the level runs linearly.
DUST_TREND = [(1947, 6.2), (1955, 5.3), (1960, 4.7), (1965, 4.1), (1970, 3.5),
              (1975, 3.1), (1980, 2.8), (1985, 2.5), (1990, 2.2), (2000, 1.9)]

# Tortious share of exposure (per cent), by period, underground and surface.
TORTIOUS_BANDS = [(1947, 1959, 72.0, 42.0), (1960, 1969, 61.0, 34.0),
                  (1970, 1979, 47.0, 25.0), (1980, None, 33.0, 16.0)]

ONSETS = ["Br", "Cr", "Dr", "Fl", "Gl", "Gr", "Kr", "Pr", "Qu", "Sk", "Sl", "Sp", "Str",
          "Thr", "Tr", "V", "W", "Z", "M", "N", "L", "R", "H", "B", "D", "F", "K", "T"]
VOWELS = ["a", "e", "i", "o", "u", "ai", "ea", "oa", "ay"]
CODAS = ["ll", "rn", "sk", "th", "rr", "nd", "m", "x", "v", "sh", "ck", "lm", "rv"]
SUFFIXES = ["by", "thorpe", "ley", "wick", "ton", "ham", "dale", "moor", "field", "hurst",
            "stead", "bank", "side", "well", "cliffe", "holme", "garth", "combe"]
KINDS = ["Main", "Colliery", "Colliery", "Colliery", "Pit", "Drift", "Main", "Colliery"]


def lerp(points, year):
    if year <= points[0][0]:
        return points[0][1]
    for (y0, v0), (y1, v1) in zip(points, points[1:]):
        if y0 <= year <= y1:
            return v0 + (v1 - v0) * (year - y0) / (y1 - y0)
    return points[-1][1]


class Names:
    def __init__(self, rng):
        self.rng = rng
        self.used = set()

    def stem(self):
        while True:
            s = (self.rng.choice(ONSETS) + self.rng.choice(VOWELS) + self.rng.choice(CODAS) +
                 self.rng.choice(SUFFIXES))
            if s not in self.used:
                self.used.add(s)
                return s

    def colliery(self):
        return self.stem() + " " + self.rng.choice(KINDS)


def choose_years(rng):
    """Opening and closing years of one pit (None: not known / still open)."""
    r = rng.random()
    if r < 0.05:
        start = None  # sunk before the records begin, year not kept
    elif r < 0.88:
        start = BASE_YEAR
    else:
        start = rng.randint(1948, 1966)  # sunk after nationalisation
    first = start or BASE_YEAR
    r = rng.random()
    if r < 0.10:
        end = rng.randint(1950, 1959)
    elif r < 0.45:
        end = rng.randint(1960, 1969)
    elif r < 0.57:
        end = rng.randint(1970, 1979)
    elif r < 0.70:
        end = rng.randint(1980, 1986)
    elif r < 0.92:
        end = rng.randint(1987, 1994)
    elif r < 0.97:
        end = rng.randint(1995, 2015)
    else:
        end = None  # still working
    if end is not None and end < first + 3:
        end = first + 3 + rng.randint(0, 6)
    return start, end


def main():
    rng = random.Random(SEED)
    names = Names(rng)
    os.makedirs(OUT, exist_ok=True)

    areas = []         # ID, AREA, AREATYPE, AVERAGE_COLLIERYID, SPLITTYPE, SPLITDESCR
    collieries = []    # ID, COLLIERY, COALAREAID, OPENSTARTYEAR, OPENENDYEAR, SPLITTYPE, SPLITDESCR
    equivalents = []
    surveys = []
    tortious = []

    area_level = {}
    for n, name in enumerate(AREAS, start=1):
        areas.append([n, name + " Area", "NORMAL", AVERAGE_ID_BASE + n, "", ""])
        area_level[n] = rng.uniform(0.85, 1.2)
    areas.append([NATIONAL_AREA, "National Average", "NATIONAL", AVERAGE_ID_BASE + NATIONAL_AREA,
                  "", ""])
    areas.append([SMALL_MINE_AREA, "Small Mines", "NORMAL", AVERAGE_ID_BASE + SMALL_MINE_AREA, 1,
                  "Small Mine: %PITNAME%"])

    # Ordinary pits: about 35 an area.
    pits = []  # dicts
    next_id = 1001
    for n in range(1, len(AREAS) + 1):
        for _ in range(rng.randint(30, 40)):
            start, end = choose_years(rng)
            pits.append({"id": next_id, "name": names.colliery(), "area": n, "start": start,
                         "end": end, "level": rng.uniform(0.75, 1.3),
                         "surveyed": rng.random() < 0.86, "split": None})
            next_id += 1

    # A few pits worked by private licensees after 1994 carry their own owner.
    late = [p for p in pits if p["end"] is None or p["end"] > 1994]
    for p, owner in zip(late[:4], ["Hartmere Mining Ltd", "Colvane Resources Ltd",
                                   "Pennack Coal Company", "Wexley Collieries Ltd"]):
        p["split"] = (2, owner)

    # Mergers: a pit merged into a neighbour of its area works on, under its
    # own name, with the neighbour's dust from the merger year.
    by_area = {}
    for p in pits:
        by_area.setdefault(p["area"], []).append(p)
    merged = set()
    for n, members in by_area.items():
        candidates = [p for p in members if p["end"] is not None and p["end"] >= 1965
                      and p["start"] is not None]
        rng.shuffle(candidates)
        for a, b in zip(candidates[0::2][:2], candidates[1::2][:2]):
            if a["id"] in merged or b["id"] in merged:
                continue
            first = max(a["start"], b["start"])
            last = min(a["end"], b["end"])
            if last - first < 6:
                continue
            year = rng.randint(first + 3, last - 2)
            a["end"] = b["end"]
            equivalents.append([a["id"], b["id"], year, 0])
            merged.add(a["id"])
    # One chain: a pit merged into a pit that was itself merged later.
    chain_b = next(p for p in pits if p["id"] in merged)
    chain_target = next(e[1] for e in equivalents if e[0] == chain_b["id"])
    chain_year = next(e[2] for e in equivalents if e[0] == chain_b["id"])
    chain_a = next(p for p in by_area[chain_b["area"]]
                   if p["id"] not in merged and p["id"] != chain_target and p["start"] is not None
                   and p["end"] is not None and p["start"] < chain_year - 4
                   and p["end"] >= chain_year)
    chain_a["end"] = chain_b["end"]
    equivalents.append([chain_a["id"], chain_b["id"], chain_year - 2, 0])
    merged.add(chain_a["id"])

    # Drift mines worked as part of another pit: no years of their own.
    for p in rng.sample([p for p in pits if p["id"] not in merged and p["end"] is not None], 5):
        drift = {"id": next_id, "name": names.stem() + " Drift", "area": p["area"],
                 "start": None, "end": None, "level": p["level"], "surveyed": False,
                 "split": None, "stands_for": p}
        next_id += 1
        pits.append(drift)
        equivalents.append([drift["id"], p["id"], 0, 0])

    # Licensed small mines, without surveys: they take the small-mine averages.
    for _ in range(4):
        start = rng.randint(1950, 1975)
        pits.append({"id": next_id, "name": names.stem() + " Small Mine", "area": SMALL_MINE_AREA,
                     "start": start, "end": start + rng.randint(8, 20), "level": 1.0,
                     "surveyed": False, "split": (1, "Small Mine: %PITNAME%")})
        next_id += 1

    # Pseudo collieries of the areas. An area average's name starts with
    # "Area Average", as the data-entry program recognises it.
    for a in areas:
        name = "Area Average - " + a[1].removesuffix(" Area") if a[0] <= len(AREAS) else a[1]
        collieries.append([a[3], name, a[0], "", "",
                           a[4], a[5]])

    for p in pits:
        split_type, split_descr = p["split"] if p["split"] else ("", "")
        collieries.append([p["id"], p["name"], p["area"], p["start"] or "", p["end"] or "",
                           split_type, split_descr])

    # Surveys, strikes and temporary closures.
    closures = set(rng.sample([p["id"] for p in pits if p.get("stands_for") is None
                               and p["end"] is not None and p["end"] - (p["start"] or 1947) > 12
                               and p["area"] != SMALL_MINE_AREA], 12))
    for p in pits:
        if p.get("stands_for") is not None:
            continue
        first = p["start"] or BASE_YEAR
        last = p["end"] or 2024
        if p["surveyed"]:
            for r0, r1 in ROUNDS:
                lo, hi = max(r0, first), min(r1, last)
                if lo > hi:
                    continue
                year = rng.randint(lo, hi)
                value = lerp(DUST_TREND, year) * area_level[p["area"]] * p["level"]
                value *= rng.uniform(0.88, 1.12)
                surveys.append([p["id"], "SURVEY", year, year, round(max(value, 0.5), 2)])
        for year in STRIKE_YEARS:
            if first <= year <= last:
                surveys.append([p["id"], "STRIKE", year, year, 0])
        if p["id"] in closures:
            year = rng.randint(first + 4, last - 4)
            if year not in STRIKE_YEARS and year + 1 not in STRIKE_YEARS:
                surveys.append([p["id"], "CLOSED", year, year + rng.randint(0, 1), 0])

    # Tortious percentages: per pit and period, underground and surface.
    def add_tortious(cid, first, last, offset_n, offset_y):
        for b0, b1, n_val, y_val in TORTIOUS_BANDS:
            lo, hi = max(b0, first), min(b1 or last, last)
            if lo > hi:
                continue
            tortious.append([cid, lo, hi, "N", round(n_val + offset_n, 1)])
            tortious.append([cid, lo, hi, "Y", round(y_val + offset_y, 1)])

    for a in areas:
        add_tortious(a[3], BASE_YEAR, OPEN_TORTIOUS_END, rng.uniform(-3, 3), rng.uniform(-2, 2))
    for p in pits:
        src = p.get("stands_for") or p
        first = src["start"] or BASE_YEAR
        last = (src["end"] + PAST_CLOSURE) if src["end"] else OPEN_TORTIOUS_END
        add_tortious(p["id"], first, last, rng.uniform(-8, 8), rng.uniform(-5, 5))

    write("coal_areas.csv", ["ID", "AREA", "AREATYPE", "AVERAGE_COLLIERYID", "SPLITTYPE",
                             "SPLITDESCR"], areas)
    write("collieries.csv", ["ID", "COLLIERY", "COALAREAID", "OPENSTARTYEAR", "OPENENDYEAR",
                             "SPLITTYPE", "SPLITDESCR"], collieries)
    write("equivalents.csv", ["COLLIERYID", "EQUIVCOLLIERYID", "STARTYEAR", "ENDYEAR"],
          sorted(equivalents))
    write("survey_rounds.csv", ["STARTYEAR", "ENDYEAR"], ROUNDS)
    write("surveys.csv", ["COLLIERYID", "MARKER", "STARTYEAR", "ENDYEAR", "DUSTVAL"],
          sorted(surveys, key=lambda r: (r[0], r[2], r[1])))
    write("tortious.csv", ["COLLIERYID", "STARTYEAR", "ENDYEAR", "SURFACE", "TORTIOUSVAL"],
          tortious)
    write_factors()
    write_parms()
    write_history(pits, merged)


JOB_FACTORS = [
    # ID, CODE, DESCR, FACTOR, SURFACE, UPLIFT, DUSTYTIMEFACTOR, NONCHA, NONCHACHECK, YEARSPASTCLOSE
    (1, "FW", "Face worker (coal getting)", 1.0, 0, 1.0, 1.0, 0, 0, 0),
    (2, "DEV", "Development and heading worker", 1.0, 0, 1.0, 0.95, 0, 0, 0),
    (3, "RIP", "Ripper and roadway repairer", 0.9, 0, 1.0, 0.9, 0, 0, 0),
    (4, "SHOT", "Shotfirer", 0.8, 0, 1.0, 0.85, 0, 0, 0),
    (5, "FMF", "Face maintenance fitter", 0.7, 0, 1.0, 0.8, 0, 0, 0),
    (6, "DEP", "Deputy or overman", 0.6, 0, 1.0, 0.8, 0, 0, 0),
    (7, "CONV", "Conveyor attendant", 0.6, 0, 1.0, 0.9, 0, 0, 0),
    (8, "HAUL", "Haulage hand", 0.5, 0, 1.0, 0.85, 0, 0, 1),
    (9, "ELEC", "Underground electrician", 0.5, 0, 1.0, 0.7, 0, 0, 0),
    (10, "PB", "Pit bottom onsetter", 0.4, 0, 1.0, 0.9, 0, 0, 0),
    (11, "SALV", "Salvage worker", 0.7, 0, 1.0, 0.8, 0, 0, 2),
    (12, "BP", "Bord and pillar worker", 0.9, 0, 1.2, 1.0, 0, 0, 0),
    (13, "SCR", "Surface screens worker", 0.3, 1, 1.0, 0.6, 1, 1, 0),
    (14, "PREP", "Coal preparation plant", 0.25, 1, 1.0, 0.6, 1, 1, 0),
    (15, "SLAB", "Surface labourer", 0.15, 1, 1.0, 0.5, 1, 1, 0),
    (16, "SM", "Small mine worker", 0.8, 0, 1.0, 0.9, 0, 0, 0),
    (17, "STR", "Strike period", 0.0, 0, 1.0, 0.0, 0, 0, 0),
    (18, "JB", "Job Break", 0.0, 0, 1.0, 0.0, 0, 0, 0),
    (19, "ND", "No Data", 1.0, 0, 1.0, 1.0, 0, 0, 0),
]
RESP_FACTORS = [
    # ID, DESCR, FACTOR, SURFACE, STARTYEAR, ENDYEAR, STARTYEARVAL, ENDYEARVAL
    (1, "No respirator", 0, 0, 0, 0, 0, 0),
    (2, "Respirator available 1975 to 1994", 20, 0, 1975, 1994, 0.5, 1),
    (3, "Respirator worn", 25, 0, 1970, 1994, 1, 1),
    (4, "Surface - no respirator", 0, 1, 0, 0, 0, 0),
    (5, "Small mine - no respirator", 0, 0, 0, 0, 0, 0),
    (6, "Strike period", 0, 0, 0, 0, 0, 0),
    (7, "Job Break", 0, 0, 0, 0, 0, 0),
    (8, "No Data", 0, 0, 0, 0, 0, 0),
]
SMOKE_FACTORS = [
    (1, "N", "Non smoker", 0),
    (2, "L", "Light (1-10 a day)", 0.5),
    (3, "M", "Medium (11-20 a day)", 1),
    (4, "H", "Heavy (over 20 a day)", 1.5),
    (5, "P", "Pipe or cigars", 0.75),
]
PARMS = [
    ("Version", "48"), ("AvgYrPXR", "3.5"), ("BordPillarTFac", "1.2"), ("AnnSmokeUnit", "1"),
    ("PctPrevCat1", "12"), ("YearsAvgSmokeEquiv", "20"), ("BordPillarID", "12"),
    ("LimitationYear", "1954"), ("RespiratorYear", "1975"), ("LimitYearVal", "0.5"),
    ("RespYearVal", "0.5"), ("BaseYear", str(BASE_YEAR)), ("AAvgStartYear", str(BASE_YEAR)),
    ("AAvgEndYear", str(AA_END_YEAR)), ("RespEndYear", "1994"), ("RespEndYearVal", "1"),
    ("SmallMineJobID", "16"), ("SmallMineRespID", "5"), ("RespiratorWornRespID", "3"),
    ("ScottishLimitationYear", "1964"), ("ScottishLimitYearVal", "1"), ("SurfaceData", "1"),
    ("MatrixReady", "0"), ("AreaAvgMode", "1"), ("CheckJobRespSurface", "1"),
    ("MaxYearsPastClosure", str(PAST_CLOSURE)), ("LiabilitySplitEnhancements", "True"),
]


def write_factors():
    write("job_factors.csv", ["ID", "CODE", "DESCR", "FACTOR", "SURFACE", "UPLIFT",
                              "DUSTYTIMEFACTOR", "NONCHA", "NONCHACHECK", "YEARSPASTCLOSE"],
          JOB_FACTORS)
    write("resp_factors.csv", ["ID", "DESCR", "FACTOR", "SURFACE", "STARTYEAR", "ENDYEAR",
                               "STARTYEARVAL", "ENDYEARVAL"], RESP_FACTORS)
    write("smoke_factors.csv", ["ID", "CODE", "LISTDESCR", "FACTOR"], SMOKE_FACTORS)


def write_parms():
    write("parms.csv", ["PARM", "PARMVALUE"], PARMS)


def write_history(pits, merged):
    """A face worker's life at three pits of one area, the last a merger."""
    def fits(p, first, last):
        return (p["surveyed"] and p.get("stands_for") is None and p["id"] not in merged
                and p["split"] is None and (p["start"] or BASE_YEAR) <= first
                and p["end"] is not None and p["end"] >= last)
    first = next(p for p in pits if fits(p, 1948, 1962) and p["end"] <= 1966)
    area = first["area"]
    second = next(p for p in pits if p["area"] == area and p is not first and fits(p, 1962, 1990))
    jobs = [
        {"colliery_id": first["id"], "start_year": 1948, "end_year": 1951,
         "job_factor_code": "HAUL", "resp_factor_id": 1},
        {"colliery_id": first["id"], "start_year": 1952, "end_year": first["end"],
         "job_factor_code": "FW", "resp_factor_id": 1},
        {"colliery_id": second["id"], "start_year": first["end"] + 1, "end_year": 1974,
         "job_factor_code": "DEV", "resp_factor_id": 1},
        {"colliery_id": second["id"], "start_year": 1975, "end_year": 1986,
         "job_factor_code": "FW", "resp_factor_id": 2},
        {"colliery_id": second["id"], "start_year": 1987, "end_year": 1989,
         "job_factor_code": "SCR", "resp_factor_id": 4},
    ]
    history = {
        "claimant": {"name": "Walter Edmund Harker", "solicitor_ref": "HKR/2291",
                     "zurir_ref": "ZR-40317", "extra_label": "Claimant Address: ",
                     "extra": "14 Lamplight Terrace"},
        "jobs": jobs,
        "smoking": [{"category_code": "M", "start_year": 1946, "end_year": 1968},
                    {"category_code": "L", "start_year": 1969, "end_year": 1979}],
    }
    with open(os.path.join(HERE, "sample_history.json"), "w", encoding="utf-8") as f:
        json.dump(history, f, indent=2)
        f.write("\n")


def write(name, header, rows):
    with open(os.path.join(OUT, name), "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(header)
        for row in rows:
            w.writerow(row)


if __name__ == "__main__":
    main()
