# The program's own units: main window and data module.
target_sources(korvel_core PRIVATE
    mu.h mu.cpp mu.ui
    dm.h dm.cpp
)
