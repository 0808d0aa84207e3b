#!/usr/bin/env node
// Runs the Khronos glTF Validator on each file and prints its report; exits 1 when any file
// has an error or a warning. usage: node validate-gltf.js VALIDATOR_DIR FILE...
'use strict';
const fs = require('fs');
const path = require('path');

const [validatorDir, ...files] = process.argv.slice(2);
const validator = require(path.resolve(validatorDir, 'node_modules', 'gltf-validator'));

(async () => {
    let bad = 0;
    for (const file of files) {
        const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
            uri: path.basename(file),
            maxIssues: 50,
        });
        const { numErrors, numWarnings, numInfos, numHints } = report.issues;
        console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ` +
                    `${numInfos} infos, ${numHints} hints`);
        for (const m of report.issues.messages)
            if (m.severity <= 1 || process.env.GLTF_VALIDATE_ALL)
                console.log(`  [${m.severity}] ${m.code} ${m.pointer || ''} ${m.message}`);
        if (numErrors > 0 || numWarnings > 0)
            ++bad;
    }
    process.exit(bad > 0 ? 1 : 0);
})().catch((e) => {
    console.error(e);
    process.exit(2);
});
