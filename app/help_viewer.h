// The product's help windows are closed before a run replaces the files they show.
#pragma once

// Asks every "Folioscope Help" window to close; gives up after about 5 s on one that
// ignores the request, so an unresponsive help window never blocks an install.
void closeHelpViewer();
