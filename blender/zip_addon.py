"""Writes the add-on's zip: the named files of a folder, in the order given, each with a fixed
time and its permission bits only, so that the same files always give the same bytes.

    python3 zip_addon.py OUTPUT.zip FOLDER MEMBER...
"""
import os
import sys
import zipfile

output, folder, members = sys.argv[1], sys.argv[2], sys.argv[3:]
partial = output + ".partial"
with zipfile.ZipFile(partial, "w") as archive:
    for name in members:
        path = os.path.join(folder, name)
        entry = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
        entry.external_attr = (os.stat(path).st_mode & 0o777 | 0o100000) << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as data:
            archive.writestr(entry, data.read(), compresslevel=9)
os.replace(partial, output)
