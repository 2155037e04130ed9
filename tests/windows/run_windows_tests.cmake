# Tests of the main window, the selection dialog, the progress window and start-up
