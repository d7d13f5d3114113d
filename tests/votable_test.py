"""The VOTable of the star writers, opened by astropy: the columns by name, unit and UCD, and
every value the same as in the CSV written from the same stars.

Then the same of a VOTable written by `ucac2db find --format votable` itself, from a small
catalog compiled for the test, against the same find's CSV.

Usage: votable_test.py WRITE_STAR_TABLE [MAKE_SAMPLE_CATALOG UCAC2 UCAC2DB]. Exits 77 (skipped) where astropy is not installed.
"""
import csv
import io
import os
import subprocess
import sys
import tempfile

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
    "ra_j2000": "deg", "dec_j2000": "deg", "sep_arcsec": "arcsec", "dist_arcsec": "arcsec",
}
UCDS = {"id": "meta.id;meta.main", "ra": "pos.eq.ra;meta.main", "dec": "pos.eq.dec;meta.main",
        "u2r_mag": "phot.mag", "pm_ra": "pos.pm", "e_pm_de": "stat.error",
        "sep_arcsec": "pos.angDistance", "dist_arcsec": "pos.angDistance"}
TEXT = {"name", "note <&>"}


def run(writer, *args):
    return subprocess.run([writer, *args], check=True, capture_output=True).stdout


def check(write, epoch_args, expected_columns, expected_rows):
    """`write(format)` gives the table's bytes in that format."""
    rows = list(csv.reader(io.StringIO(write("csv").decode("utf-8"))))
    header, rows = rows[0], rows[1:]
    # Strict: any deviation from the standard is an error, not a warning.
    votable = parse(io.BytesIO(write("votable")), verify="exception")
    system = votable.resources[0].coordinate_systems[0]
    assert system.system == "ICRS", system.system
    assert system.epoch == ("J2026.9" if epoch_args else "J2000"), system.epoch
    table = votable.get_first_table()
    names = [field.name for field in table.fields]
    assert names == header, (names, header)
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
    assert len(data) == len(rows) == expected_rows, (len(data), len(rows))
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


def check_find(make_sample, ucac2, ucac2db):
    with tempfile.TemporaryDirectory() as folder:
        catalog, db = os.path.join(folder, "catalog"), os.path.join(folder, "db")
        os.mkdir(db)
        subprocess.run([make_sample, catalog, "--stars", "20000"], check=True, capture_output=True)
        subprocess.run([ucac2, catalog], cwd=db, check=True, capture_output=True)
        cone = ["find", "--db", db, "--ra", "180", "--dec", "0", "--radius", "10", "--limit", "30"]
        for epoch_args in ([], ["2026.9"]):
            epoch = ["--epoch", epoch_args[0]] if epoch_args else []
            check(lambda form: run(ucac2db, *cone, *epoch, "--format", form), epoch_args,
                  25 + (2 if epoch_args else 0), 30)


def main():
    writer = sys.argv[1]
    for epoch_args in ([], ["2026.9"]):
        check(lambda form: run(writer, form, *epoch_args), epoch_args,
              27 + (2 if epoch_args else 0), 20)
    if len(sys.argv) == 5:
        check_find(*sys.argv[2:5])


if __name__ == "__main__":
    main()
