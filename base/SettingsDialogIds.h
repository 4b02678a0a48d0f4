#pragma once
// The settings dialog's resource and control ids, shared by the resource
// script and the code that runs the dialog. Plain preprocessor: the
// resource compiler reads this file too.

#define QB_SETTINGS_DIALOG 200
// The dialog's title, which people, screen readers and tests find it by.
#define QB_SETTINGS_TITLE "Quillbrae Settings"
#define QB_CHOOSE_PAIRS_TITLE "Choose Pairs"
#define QB_CHOOSE_PAIRS_DIALOG 201

// Each label comes just before its control, so that the label's mnemonic
// and a screen reader's "the control after this text" reach the control.
#define QB_PAGES_LABEL 1001
#define QB_PAGES_EDIT 1002
#define QB_PAGES_DEFAULTS 1003
#define QB_PAGES_PROBLEM 1004
#define QB_INTERVAL_LABEL 1011
#define QB_INTERVAL_EDIT 1012
#define QB_INTERVAL_PROBLEM 1013
#define QB_PAIRS_LABEL 1021
#define QB_PAIRS_EDIT 1022
#define QB_PAIRS_CHOOSE 1023
#define QB_PAIRS_PROBLEM 1024
#define QB_ALERTS_LABEL 1031
#define QB_ALERTS_EDIT 1032
#define QB_ALERTS_PROBLEM 1033
#define QB_ALERTS_HINT 1034
#define QB_START_WITH_WINDOWS 1041
#define QB_ALWAYS_ON_TOP 1042
#define QB_OPACITY_LABEL 1051
#define QB_OPACITY_EDIT 1052
#define QB_OPACITY_SPIN 1053
#define QB_OPACITY_PROBLEM 1054
#define QB_APPLY 1061

// The pair chooser: the pairs with check boxes, and the buttons that move
// the selected one.
#define QB_CHOOSE_LIST_LABEL 1101
#define QB_CHOOSE_LIST 1102
#define QB_CHOOSE_UP 1103
#define QB_CHOOSE_DOWN 1104
