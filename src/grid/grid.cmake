# The read-only log grid and its model.
target_sources(korvel_core PRIVATE
    grid/dbgrid.h grid/dbgrid.cpp
)
