"""``python -m nsread``: the nsread command."""

import sys

from .cli import main

sys.exit(main())
