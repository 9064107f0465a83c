#!/bin/sh
# makensis making a 64-bit installer for the 64-bit program. CPack splits its
# makensis arguments at blanks, so the two-word -X command comes from here.
exec makensis "-XTarget amd64-unicode" "$@"
