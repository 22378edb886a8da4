"""The checks of the Python test scripts: a failed check is printed and
counted, and the script's exit status says whether any failed."""

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def run_tests(tests):
    """Runs each test function in turn; the exit status for the script."""
    for test in tests:
        print("---", test.__name__)
        test()
    if failures:
        print(f"{len(failures)} failed")
        return 1
    print("all passed")
    return 0




def report(found, success):
    """For the scripts that gather their own failures: prints each of them,
    or the success line when there are none; the exit status."""
    for failure in found:
        print("FAIL:", failure)
    if not found:
        print("ok:", success)
    return 1 if found else 0
