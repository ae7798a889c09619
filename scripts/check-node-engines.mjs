// Fails, naming each package, when a package pinned in package-lock.json
// declares engines.node that excludes the oldest Node the two commands must
// run on: Ubuntu 24.04's 18.19 (Debian 12 has 18.20), so an update cannot
// quietly drop them.
import { readFileSync } from 'node:fs';
import semver from 'semver';

const OLDEST_NODE = '18.19.0';

const lock = JSON.parse(readFileSync(new URL('../package-lock.json', import.meta.url), 'utf8'));
const excluding = Object.entries(lock.packages)
  .filter(([, entry]) => entry.engines?.node && !semver.satisfies(OLDEST_NODE, entry.engines.node))
  .map(
    ([path, entry]) =>
      `${path.replace(/^.*node_modules\//, '')} ${entry.version} (node ${entry.engines.node})`,
  );

if (excluding.length > 0) {
  console.error(`check-node-engines: these packages exclude Node ${OLDEST_NODE}:`);
  for (const line of excluding) console.error(`  ${line}`);
  process.exit(1);
}
