#!/usr/bin/python3
"""Prints what a real iCalendar reader (the distribution's `icalendar`
package, which nobody here wrote) finds in each file named on the command
line: one block per VEVENT or VTODO, texts as JSON strings (ASCII only),
times in ISO 8601. Exit code 3 when the package is missing."""
import json
import sys

try:
    import icalendar
except ImportError:
    print("python3-icalendar is not installed (scripts/setup.sh installs it)", file=sys.stderr)
    sys.exit(3)


def iso(prop):
    return prop.dt.isoformat() if prop is not None else "-"


for name in sys.argv[1:]:
    with open(name, "rb") as f:
        calendar = icalendar.Calendar.from_ical(f.read())
    for component in calendar.walk():
        if component.name not in ("VEVENT", "VTODO"):
            continue
        print(component.name)
        print("SUMMARY " + json.dumps(str(component.get("SUMMARY", ""))))
        print("DESCRIPTION " + json.dumps(str(component.get("DESCRIPTION", ""))))
        print("DTSTART " + iso(component.get("DTSTART")))
        if component.name == "VEVENT":
            print("DTEND " + iso(component.get("DTEND")))
        else:
            print("DUE " + iso(component.get("DUE")))
