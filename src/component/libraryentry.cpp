// The shared library a host loads. It holds no code of its own: every folder library is linked
// in whole, and the component starts itself on first use (the first clsRavlenPACSViewer object
// or the first read of the options), not when the library is loaded, because a host may load
// it before its QApplication exists.
