// Validates glTF files with the Khronos validator and prints one line per
// file: its path, its counts of errors and warnings, then each error.
// Exits 1 when any file has an error. The validator's folder is the first
// argument (where npm installed gltf-validator).
const fs = require('fs');
const path = require('path');

const [folder, ...files] = process.argv.slice(2);
const validator = require(path.resolve(folder, 'node_modules', 'gltf-validator'));

async function check(file) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
        uri: path.basename(file),
        maxIssues: 50,
        externalResourceFunction: (uri) => Promise.resolve(
            new Uint8Array(fs.readFileSync(path.resolve(path.dirname(file), decodeURIComponent(uri))))),
    });
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
    for (const message of issues.messages)
        if (message.severity <= 1)
            console.log(`  ${message.severity === 0 ? 'error' : 'warning'} ${message.code} ${
                message.pointer || ''}: ${message.message}`);
    return issues.numErrors;
}

(async () => {
    let errors = 0;
    for (const file of files) {
        try {
            errors += await check(file);
        } catch (e) {
            console.log(`${file}: not validated: ${e}`);
            errors += 1;
        }
    }
    process.exit(errors > 0 ? 1 : 0);
})();
