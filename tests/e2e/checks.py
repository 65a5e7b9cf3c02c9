"""The outcomes of a step: Failure, Skipped and the checks that raise a failure."""


class Failure(Exception):
    pass


class Skipped(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def expect_equal(expected, actual, what):
    check(expected == actual, f"{what}:\n  expected {expected!r}\n  got      {actual!r}")
