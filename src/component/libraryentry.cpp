// the shared library entry
