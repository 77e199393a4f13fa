#pragma once

#include "uBase.h"

// The process-wide column lists and table objects, built once in the order
// shared and caption levels, "SR2Fichiers", "DriveFichiers", "Drives",
// "VideoFichiers", and kept until the program ends.
struct TCatalogueTables {
    TGridColumnsList sharedColumns;
    TGridColumnsList captionColumns;
    TGridColumnsList sr2Columns;
    TGridColumnsList driveFichierColumns;
    TGridColumnsList drivesColumns;
    TGridColumnsList videoColumns;
    TTable SR2Fichiers;
    TTable DriveFichiers;
    TTable Drives;
    TTable VideoFichiers;

    TCatalogueTables();
};

TCatalogueTables& catalogueTables();
