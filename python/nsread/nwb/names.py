"""Object names inside the NWB file, made from entity labels."""

from __future__ import annotations


class Names:
    """Hands out unique, NWB-safe names (no '/' or ':', no leading or trailing blanks)."""

    def __init__(self) -> None:
        self._used: set[str] = set()

    def take(self, wanted: str) -> str:
        """``wanted`` made safe, with ``_2``, ``_3``, ... when already taken."""
        base = wanted.replace("/", "_").replace(":", "_").strip() or "entity"
        name, n = base, 1
        while name in self._used:
            n += 1
            name = f"{base}_{n}"
        self._used.add(name)
        return name
