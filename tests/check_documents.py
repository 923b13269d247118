#!/usr/bin/env python3
"""Checks the documents the report tests left in a folder, with readers that
are not the project's own: every *.json against the report's JSON Schema,
every *.xml by a real XML parser as a default associations file, every
*.b64 decoded (strictly) to the bytes of the *.xml of its name.

    check_documents.py <schema file> <folder> <least JSON count> <least XML count>
"""
import base64
import binascii
import json
import pathlib
import sys
import xml.etree.ElementTree as ElementTree

import jsonschema


def check_xml(path):
    root = ElementTree.parse(path).getroot()
    assert root.tag == "DefaultAssociations", root.tag
    assert set(root.attrib) <= {"Version"}, root.attrib
    assert root.get("Version", "1").isdigit()
    for association in root:
        assert association.tag == "Association", association.tag
        assert {"Identifier", "ProgId", "ApplicationName"} <= set(association.attrib), association.attrib
        assert association.get("Identifier").startswith(".")
        assert association.get("Suggested", "true") == "true"
    return len(root)


def main(schema_path, folder, least_json, least_xml):
    schema = json.loads(pathlib.Path(schema_path).read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    documents = sorted(pathlib.Path(folder).glob("*.json"))
    policies = sorted(pathlib.Path(folder).glob("*.xml"))
    faults = []
    for path in documents:
        for error in validator.iter_errors(json.loads(path.read_bytes())):
            faults.append(f"{path.name}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
    for path in policies:
        try:
            check_xml(path)
        except (AssertionError, ElementTree.ParseError) as error:
            faults.append(f"{path.name}: {error!r}")
    for path in sorted(pathlib.Path(folder).glob("*.b64")):
        try:
            text = path.read_bytes()
            assert text.endswith(b"\r\n") and text.count(b"\n") == 1, "one line"
            assert base64.b64decode(text[:-2], validate=True) == path.with_suffix(".xml").read_bytes(), "not the document"
        except (AssertionError, binascii.Error, OSError) as error:
            faults.append(f"{path.name}: {error!r}")
    if len(documents) < least_json or len(policies) < least_xml:
        faults.append(f"{len(documents)} JSON and {len(policies)} XML documents, fewer than {least_json} and {least_xml}")
    for fault in faults:
        print(fault)
    print(f"{len(documents)} JSON documents, {len(policies)} default associations files checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])))
