"""The one exception the plotting code raises for input it cannot draw."""


class PlotError(ValueError):
    """A recording, entity, window or channel selection that cannot be plotted.

    The message says what is wrong in the user's terms; ``nsread plot``
    prints it and exits with status 1.
    """
