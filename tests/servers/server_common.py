"""What the test servers share: their command line and the file that hands their port over."""

import argparse
import os


def parse_server_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--lifetime", type=float, default=900)
    parser.add_argument("--log")
    return parser.parse_args()


def write_port_file(path, port, more=()):
    """The port on the first line, then "name=port" for each further listener in `more`."""
    # Written aside and renamed, so a reader never sees a half-written number.
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write("%d\n" % port)
        for name, value in more:
            f.write("%s=%d\n" % (name, value))
    os.replace(temporary, path)


def read_port_file(path):
    """The first port and a dict of the named ones."""
    with open(path) as f:
        lines = [line.strip() for line in f if line.strip()]
    named = dict((name, int(value)) for name, value in (line.split("=", 1) for line in lines[1:]))
    return int(lines[0]), named
