# The read-only log grid and its model.
