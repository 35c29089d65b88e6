#!/usr/bin/python3
"""Validates every result file (*.json) in a folder against docs/result-file.schema.json.

Usage: validate-result-files.py SCHEMA FOLDER
Fails when the folder holds no result file: the tests that write them did not run.
"""
import json
import pathlib
import sys

import jsonschema


def main():
    schema = json.loads(pathlib.Path(sys.argv[1]).read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    files = sorted(pathlib.Path(sys.argv[2]).glob("*.json"))
    failed = 0
    for path in files:
        try:
            document = json.loads(path.read_bytes().decode("utf-8"))
        except (UnicodeDecodeError, json.JSONDecodeError) as error:
            print(f"{path.name}: not UTF-8 JSON: {error}")
            failed += 1
            continue
        errors = list(validator.iter_errors(document))
        for error in errors:
            print(f"{path.name}: {list(error.absolute_path)}: {error.message}")
        failed += bool(errors)
    print(f"{len(files)} result files, {failed} invalid")
    return 1 if failed or not files else 0


if __name__ == "__main__":
    sys.exit(main())
