#!/usr/bin/env python3
"""Writes the GPX tracks the simulated phone plays (sim/tracks/*.gpx).

    python3 sim/tracks/make_tracks.py [OUTDIR]

Each track is generated, not recorded: a path made of legs (a heading in
degrees and a length in metres) walked at a given speed, sampled every few
seconds, with an elevation profile. Positions are moved on a sphere of the
WGS84 mean radius, which is close enough for short legs; times start at
2026-01-01T00:00:00Z. The output is deterministic (fixed decimals, no
randomness), so running the script again rewrites the same files.

- city_walk.gpx (GPX 1.1): a 2.6 km walk through the centre of Seoul at
  1.4 m/s, one point every 5 s, with two stops (a crossing of 45 s and a
  coffee of 120 s), nearly flat (32 to 40 m).
- hilly_run.gpx (GPX 1.1): a two-hour run at 3.0 m/s over rolling hills
  (a sine of 40 m amplitude every 2 km on a 60 m base), one point every
  10 s, out and back along the Han river.
- drive.gpx (GPX 1.0): a 20-minute drive at 15 m/s (54 km/h) with a stop at
  a red light of 30 s, one point every 5 s, flat at 20 m.
"""
import math
import os
import sys
from datetime import datetime, timedelta, timezone

R = 6371008.8  # metres
START = datetime(2026, 1, 1, tzinfo=timezone.utc)


def move(lat, lon, heading, dist):
    """The point dist metres from (lat, lon) on heading (degrees)."""
    h = math.radians(heading)
    dlat = dist * math.cos(h) / R
    dlon = dist * math.sin(h) / (R * math.cos(math.radians(lat)))
    return lat + math.degrees(dlat), lon + math.degrees(dlon)


def walk(lat, lon, plan, speed, step, elevation):
    """Points every step seconds along plan: ('leg', heading, metres) or
    ('stop', seconds). elevation(distance) gives the height."""
    pts = []
    t = 0.0
    dist = 0.0
    pts.append((lat, lon, elevation(dist), t))
    for item in plan:
        if item[0] == 'stop':
            end = t + item[1]
            while t + step <= end:
                t += step
                pts.append((lat, lon, elevation(dist), t))
            continue
        _, heading, length = item
        left = length
        while left > 1e-9:
            d = min(speed * step, left)
            lat, lon = move(lat, lon, heading, d)
            left -= d
            dist += d
            t += d / speed
            pts.append((lat, lon, elevation(dist), t))
    return pts


def stamp(t):
    secs, ms = divmod(round(t * 1000), 1000)
    return (START + timedelta(seconds=secs)).strftime('%Y-%m-%dT%H:%M:%S.') + '%03dZ' % ms


def write(path, name, pts, version):
    ns = 'http://www.topografix.com/GPX/1/%s' % ('1' if version == '1.1' else '0')
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<gpx version="%s" creator="lbs-sim make_tracks.py" xmlns="%s">' % (version, ns),
             '  <trk>', '    <name>%s</name>' % name, '    <trkseg>']
    for lat, lon, ele, t in pts:
        lines.append('      <trkpt lat="%.7f" lon="%.7f"><ele>%.1f</ele><time>%s</time></trkpt>'
                     % (lat, lon, ele, stamp(t)))
    lines += ['    </trkseg>', '  </trk>', '</gpx>', '']
    with open(path, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    city = [('leg', 0, 400), ('stop', 45), ('leg', 90, 700), ('leg', 20, 300), ('stop', 120),
            ('leg', 270, 500), ('leg', 180, 700)]
    write(os.path.join(out, 'city_walk.gpx'), 'City walk',
          walk(37.5663, 126.9779, city, 1.4, 5, lambda d: 36 + 4 * math.sin(d / 300.0)), '1.1')
    run = [('leg', 100, 5400), ('leg', 80, 5400), ('leg', 260, 5400), ('leg', 280, 5400)]
    write(os.path.join(out, 'hilly_run.gpx'), 'Hilly run',
          walk(37.5190, 126.9400, run, 3.0, 10, lambda d: 60 + 40 * math.sin(2 * math.pi * d / 2000.0)), '1.1')
    drive = [('leg', 45, 6000), ('stop', 30), ('leg', 135, 6000), ('leg', 225, 5550)]
    write(os.path.join(out, 'drive.gpx'), 'Drive',
          walk(37.4979, 127.0276, drive, 15.0, 5, lambda d: 20.0), '1.0')


if __name__ == '__main__':
    main()
