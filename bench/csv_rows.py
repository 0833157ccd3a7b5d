# The CSV file of bench/session.sh and bench/python.sh: 10-column rows of integers, decimals,
# words, dates and codes, the same rows on every run.
import random

WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"]


def write_csv(path, megabytes):
    """Writes about `megabytes` MB of rows to `path`; returns how many rows."""
    rng = random.Random(42)
    with open(path, "w", newline="") as f:
        written = rows = 0
        while written < megabytes << 20:
            row = (f"{rows},{rng.randrange(100000)}.{rng.randrange(100)},{rng.choice(WORDS)},{rng.choice(WORDS)} "
                   f"{rng.choice(WORDS)},2024-0{1 + rng.randrange(9)}-1{rng.randrange(10)},{rng.randrange(1000)},"
                   f"X{rng.randrange(10000000)},{rng.randrange(2000) - 1000},{rng.choice(['yes', 'no'])},"
                   f"{rng.getrandbits(32)}\r\n")
            f.write(row)
            written += len(row)
            rows += 1
    return rows
