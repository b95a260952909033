# The read-only log grid and its model.
target_sources(korvel_core PRIVATE
    grid/dbgrid.h grid/dbgrid.cpp
    grid/dbgridmodel.h grid/dbgridmodel.cpp
    grid/gridcolumns.h grid/gridcolumns.cpp
    grid/celltext.h grid/celltext.cpp
)
