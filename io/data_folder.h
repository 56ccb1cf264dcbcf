// Where the start-up data files are (the colour table, the nineteen templates, the pad shape
// and the sample scans), so that both programs start from any working directory. The names
// inside the folder stay the ones in core/resources.h; files the user chooses stay relative to
// the working directory.
#pragma once

#include <string>

#include "core/result.h"

namespace pedaform {

// Looks in order at:
//  1. the folder named by the environment variable PEDAFORM_DATA, when set and not empty; no
//     other place is tried then, so a folder the user named wrongly is reported rather than
//     silently replaced;
//  2. "data" beside the executable (the build tree: build/data beside build/pedaform);
//  3. the installed folder, taken relative to the executable's own folder (bin/ ->
//     ../share/pedaform for the configured install directories), so a DESTDIR or moved
//     install works.
// The executable is found through /proc/self/exe, symbolic links resolved. A folder qualifies
// when check_data_folder accepts it. On success `folder` is that folder. On failure the
// message is one line naming every place looked at and why each was refused, and `folder` is
// the first place looked at (reading from it leaves the data zeroed, as with files missing).
Result<> find_data_folder(std::string &folder);

// Accepts `folder` when it holds the colour table or one of the template folders; files missing
// from it only leave their data zeroed (load_startup_resources warns of each).
Result<> check_data_folder(const std::string &folder);

}  // namespace pedaform
