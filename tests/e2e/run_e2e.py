#!/usr/bin/env python3
"""End-to-end scenarios: the real horlix.exe under Wine, driven from outside.

Usage: run_e2e.py SCENARIO      (run_e2e.py --list names them)

The entry point only: the helpers and the runner (environment, display,
prefix, driver, exit codes) are in e2e.py, the scenarios in
scenarios_strip.py and scenarios_dialogs.py.
"""

import sys

import e2e
import scenarios_dialogs
import scenarios_strip

SCENARIOS = dict(scenarios_strip.SCENARIOS)
SCENARIOS.update(scenarios_dialogs.SCENARIOS)


if __name__ == "__main__":
    sys.exit(e2e.run(SCENARIOS, sys.argv))
