// Runs the Khronos glTF validator on one .glb or .gltf file and prints its report as JSON.
// Usage: node gltf_validate.js MODULES_DIR FILE
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require(path.join(process.argv[2], 'gltf-validator'));
const file = process.argv[3];
validator
  .validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 50,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.join(path.dirname(file), decodeURIComponent(uri)), (error, data) =>
          error ? reject(error.toString()) : resolve(new Uint8Array(data)));
      }),
  })
  .then((report) => {
    process.stdout.write(JSON.stringify(report.issues));
  })
  .catch((error) => {
    process.stderr.write(String(error));
    process.exit(1);
  });
