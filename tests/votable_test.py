"""The VOTable of the star writers, opened by astropy: the columns by name, unit and UCD, and
every value the same as in the CSV written from the same stars.

Usage: votable_test.py WRITE_STAR_TABLE. Exits 77 (skipped) where astropy is not installed.
"""
import csv
import io
import subprocess
import sys

try:
    from astropy import units as u
    from astropy.io.votable import parse
except ImportError:
    print("astropy is not installed: skipped")
    sys.exit(77)

UNITS = {
    "ra": "deg", "dec": "deg", "u2r_mag": "mag", "e_ra_m": "mas", "e_de_m": "mas",
    "e_pos": "mas", "ep_ra_m": "yr", "ep_de_m": "yr", "pm_ra": "mas/yr", "pm_de": "mas/yr",
    "e_pm_ra": "mas/yr", "e_pm_de": "mas/yr", "2m_j": "mag", "2m_h": "mag", "2m_ks": "mag",
    "ra_j2000": "deg", "dec_j2000": "deg", "sep_arcsec": "arcsec",
}
UCDS = {"id": "meta.id;meta.main", "ra": "pos.eq.ra;meta.main", "dec": "pos.eq.dec;meta.main",
        "u2r_mag": "phot.mag", "pm_ra": "pos.pm", "e_pm_de": "stat.error",
        "sep_arcsec": "pos.angDistance"}
TEXT = {"name", "note <&>"}


def run(writer, *args):
    return subprocess.run([writer, *args], check=True, capture_output=True).stdout


def check(writer, epoch_args):
    rows = list(csv.reader(io.StringIO(run(writer, "csv", *epoch_args).decode("utf-8"))))
    header, rows = rows[0], rows[1:]
    # Strict: any deviation from the standard is an error, not a warning.
    votable = parse(io.BytesIO(run(writer, "votable", *epoch_args)), verify="exception")
    system = votable.resources[0].coordinate_systems[0]
    assert system.system == "ICRS", system.system
    assert system.epoch == ("J2026.9" if epoch_args else "J2000"), system.epoch
    table = votable.get_first_table()
    names = [field.name for field in table.fields]
    assert names == header, (names, header)
    expected_columns = 27 + (2 if epoch_args else 0)
    assert len(names) == expected_columns, len(names)
    for field in table.fields:
        want = UNITS.get(field.name)
        assert (field.unit is None) == (want is None), (field.name, field.unit)
        if want is not None:
            assert field.unit == u.Unit(want), (field.name, field.unit)
        if field.name in ("ra", "dec"):
            assert field.ref == system.ID, (field.name, field.ref)
        if field.name in UCDS:
            assert UCDS[field.name] in field.ucd, (field.name, field.ucd)
    data = table.array
    assert len(data) == len(rows) == 20, (len(data), len(rows))
    for i, row in enumerate(rows):
        for name, text in zip(header, row):
            value = data[name][i]
            if name in TEXT:
                assert str(value) == text, (i, name, value, text)
            elif text == "":
                assert data.mask[name][i], (i, name, value)
            elif "." in text:
                assert float(value) == float(text), (i, name, value, text)
            else:
                assert int(value) == int(text), (i, name, value, text)
    print(f"{len(rows)} rows of {len(names)} columns agree{' at J2026.9' if epoch_args else ''}")


def main():
    writer = sys.argv[1]
    check(writer, [])
    check(writer, ["2026.9"])


if __name__ == "__main__":
    main()
