#include <cstdio>
#include <ostream>

#include "entry/mode.h"
#include "entry/standard_output.h"
#include "listing/listing.h"
#include "probe/installed_folder.h"
#include "verify/verification.h"

int main(int argc, char* argv[]) {
    vud::StandardOutputBuffer buffer(stdout);
    std::ostream out(&buffer);

    switch (vud::chooseMode(argc, argv)) {
        case vud::Mode::Verification: {
            vud::InstalledFolder workingFolder;
            vud::runVerification(workingFolder, out);
            break;
        }
        case vud::Mode::Listing: vud::printListing(out); break;
        case vud::Mode::Nothing: break;
    }
    out.flush();
    return vud::reportWriteError(buffer);
}
