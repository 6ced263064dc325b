#!/usr/bin/env bash
# The drawing never asks GL for its state while the show plays, and sets the
# state it decides by only through show/gl_state.h, which keeps it. Names
# every call that breaks either rule. The platform layer draws nothing of
# the show's; the radiosity capture runs once, during the load, and the
# capabilities are read once, when the context opens.
set -euo pipefail
src=${1:-$(dirname "$0")/../../src}
reads='\b(glGet(Boolean|Integer|Float|Double|TexEnv|TexParameter|Pointer)[a-z_0-9]*v?|glIsEnabled)\('
sets='\b(glFrontFace|glDepthFunc|glDepthMask|glMatrixMode|glLoadIdentity|glLoadMatrix[fd]|glMultMatrix[fd]|glRotate[fd]|glTranslate[fd]|glScale[fd]|glOrtho|glFrustum|gluPerspective|gluLookAt|glPushMatrix|glPopMatrix|glPushAttrib|glPopAttrib)\(|\bgl(Enable|Disable)\((GL_CULL_FACE|GL_DEPTH_TEST|GL_BLEND)\)|GL_TEXTURE_ENV_MODE'
code() { grep -vE '^[^:]+:[0-9]+:[[:space:]]*//' || true; }  # comments may name the calls
bad=0
while IFS= read -r hit; do
  echo "$hit   <- reads GL state back"; bad=1
done < <(grep -rnE "$reads" "$src" --include='*.cpp' --include='*.h' | grep -v "^$src/platform/\|^$src/offscreen/radiosity.cpp:\|^$src/render/capabilities.cpp:" | code)
while IFS= read -r hit; do
  echo "$hit   <- sets kept GL state behind show/gl_state.h's back"; bad=1
done < <(grep -rnE "$sets" "$src" --include='*.cpp' --include='*.h' | grep -v "^$src/platform/\|^$src/show/gl_state\.\(cpp\|h\):" | code)
[ "$bad" = 0 ] && echo "gl state: no frame reads GL state back; the kept state is set through show/gl_state.h"
exit "$bad"
