#!/usr/bin/env bash
# A parameter the frame sets that the block fragment program no longer uses ("eye_pos") is not
# fatal: the program keeps running, the error handler reports the failed lookup on standard
# output, and Escape still ends it with status 0.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
report='shader layer: the parameter name is not an active uniform of the program'

qm_fresh
# A plain block program that reads every parameter but "eye_pos".
cat > media/TessaryShader.cg <<'PROGRAM'
varying vec3 world_pos;
#ifdef VERTEX_PROGRAM
void vertex_main() {
  world_pos = gl_Vertex.xyz;
  gl_TexCoord[0] = gl_MultiTexCoord0;
  gl_Position = ftransform();
}
#endif
#ifdef FRAGMENT_PROGRAM
uniform sampler3D light_volume;
uniform sampler2D tile_tex;
uniform vec3 dimension;
uniform vec3 eye_pos;
void fragment_main() {
  vec3 light = texture3D(light_volume, (world_pos + 0.5) / dimension).rgb;
  vec4 colour = vec4(texture2D(tile_tex, gl_TexCoord[0].st).rgb * (0.2 + light), 1.0);
  gl_FragData[0] = colour;
  gl_FragData[1] = colour;
}
#endif
PROGRAM
qm_launch
qm_poll 30 "no report of the failed lookup on standard output" grep -qxF "$report" stdout.txt
sleep 1
qm_alive
[ ! -s stderr.txt ] || qm_fail "unexpected standard error"
[ ! -e shaderdebug.txt ] || qm_fail "shaderdebug.txt written for a program that compiled"
echo "reports so far: $(grep -cxF "$report" stdout.txt)"
qm_quit
echo "missing parameter reported, program kept running"
