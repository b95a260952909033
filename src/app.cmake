# The program's own units: main window and data module.
