#pragma once

// Starts GStreamer when needed and registers, once per process, the program's
// own elements in its static plugin "qxfilters": the stream notifiers
// ("qxvideonotifier", "qxaudionotifier") and the registered splitter and
// decoder set ("qxsplittersource", "qxsplitter", "qxvideodecoder",
// "qxaudiodecoder"). Safe from any thread.
void registerQXElements();
