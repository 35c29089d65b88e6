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


def write_port_file(path, port):
    # Written aside and renamed, so a reader never sees a half-written number.
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write("%d\n" % port)
    os.replace(temporary, path)
