# Tests of the help window and the about box
