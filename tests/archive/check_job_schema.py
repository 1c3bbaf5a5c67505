#!/usr/bin/python3
"""Checks job documents against the job schema with the jsonschema package.

Usage: check_job_schema.py SCHEMA DOCUMENT...
Prints one line per document that breaks the schema (its first error's place and message).
Exit status: 0 when every document is valid, 1 when one is not, 2 when the schema itself is
not a valid JSON Schema or a file cannot be read.
"""
import json
import sys

import jsonschema


def main(arguments):
    try:
        with open(arguments[0], encoding="utf-8") as file:
            schema = json.load(file)
        validator_class = jsonschema.validators.validator_for(schema)
        validator_class.check_schema(schema)
    except (OSError, ValueError, jsonschema.exceptions.SchemaError) as error:
        print(f"schema: {error}", file=sys.stderr)
        return 2
    validator = validator_class(schema)
    status = 0
    for path in arguments[1:]:
        try:
            with open(path, encoding="utf-8") as file:
                document = json.load(file)
        except (OSError, ValueError) as error:
            print(f"{path}: not JSON: {error}")
            status = 1
            continue
        error = jsonschema.exceptions.best_match(validator.iter_errors(document))
        if error is not None:
            print(f"{path}: {error.json_path}: {error.message}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
