#pragma once

namespace ravlen::toolkit {

// Makes the DICOM toolkit ready for use: registers the JPEG, JPEG-LS and RLE codecs once per
// process and checks that the data dictionary is loaded. Every toolkit entry point calls it;
// calling it again is cheap. Throws ToolkitError (errc::Dictionary) when the dictionary is
// missing, since every element would then read with an unknown VR.
void ensureToolkit();

} // namespace ravlen::toolkit
