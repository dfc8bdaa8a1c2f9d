"""Helpers shared by the end-to-end scripts in this folder."""

import time


def wait_for(what, condition, limit, alive=None, who="the program"):
    """Polls condition() until it gives a true value and returns that value.

    Fails after `limit` seconds, or at once when the process `alive` has ended
    (named `who` in the message)."""
    deadline = time.monotonic() + limit
    while True:
        result = condition()
        if result:
            return result
        if alive is not None and alive.poll() is not None:
            raise AssertionError("%s ended (code %s) while waiting for %s" % (who, alive.returncode, what))
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for %s after %d s" % (what, limit))
        time.sleep(0.2)
