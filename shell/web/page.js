// The page around the battle: loads the data set into the program's file
// system, builds the fleets (the program checks them with the same rules as
// the dialog and the Linux options), keeps and shares them, takes races
// dropped onto the page, full screen and screenshots. No framework.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const storageKey = 'kestrion.fleets';
  const largestRaceFile = 128 * 1048576;
  let program = null;
  let catalogue = { races: [], maxEntryShips: 500, maxFleetShips: 1000 };
  const fleets = [[], []];
  let running = false;
  let contextLost = false;
  let pendingShot = null;
  // The wallpaper folder's page: the battle alone, settings from the host.
  const wallpaper = document.documentElement.classList.contains('wallpaper');
  // Frames drawn, for measuring; the battle's clock at the last frame and the
  // ships a side. The last frames' start times and times inside the frame
  // function (frame n at n % recentFrames) give the frame-rate harness a
  // median frame, which one slow frame does not move as it moves a mean.
  const recentFrames = 256;
  const stats = (window.kestrionStats = {
    frames: 0, shots: 0, state: 'loading', restored: 0, clockMs: 0, ships: [0, 0], paused: false,
    recentStartMs: new Float64Array(recentFrames), recentWorkMs: new Float64Array(recentFrames),
  });
  // The program's memory, for the soak.
  window.kestrionMemory = () => (program ? JSON.parse(call('kestrion_memory', [])) : null);

  const call = (name, args) =>
    program.ccall(name, 'string', args.map((a) => (typeof a === 'number' ? 'number' : 'string')), args);

  // --- Messages -----------------------------------------------------------
  function showMessage(text) {
    $('message').textContent = text || '';
  }
  function notice(text, isError) {
    if (wallpaper) console.warn('Kestrion: ' + text);
    $('notice-text').textContent = text;
    $('notice').classList.toggle('error', !!isError);
    $('notice').hidden = false;
  }
  $('notice-close').addEventListener('click', () => ($('notice').hidden = true));

  // --- Loading ------------------------------------------------------------
  function megabytes(bytes) {
    return (bytes / 1048576).toFixed(1);
  }
  async function fetchBytes(url, onChunk) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
    const reader = response.body.getReader();
    const chunks = [];
    let size = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      size += value.length;
      onChunk(value.length);
    }
    const bytes = new Uint8Array(size);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }
  async function loadDataSet() {
    if (window.kestrionPacked) return unpackDataSet();
    const response = await fetch('data/files.json');
    if (!response.ok) throw new Error(`data/files.json: ${response.status} ${response.statusText}`);
    const list = await response.json();
    const total = list.files.reduce((sum, file) => sum + file.size, 0);
    let loaded = 0;
    program.FS.mkdir('/data');
    for (const file of list.files) {
      const bytes = await fetchBytes('data/' + encodeURIComponent(file.name), (count) => {
        loaded += count;
        $('progress').value = total ? loaded / total : 1;
        $('loading-text').textContent =
          `Loading the data set: ${megabytes(loaded)} of ${megabytes(total)} MB`;
      });
      program.FS.writeFile('/data/' + file.name, bytes);
    }
  }

  // --- Fleet builder ------------------------------------------------------
  const sections = [...document.querySelectorAll('.alliance')];
  const raceByName = (name) => catalogue.races.find((race) => race.name === name);

  // "seed=N" in the address flies the same opening each time; the fragments the
  // page writes keep it.
  const seedOf = (hash) => (/(?:^|[#&])(seed=[^&]*)/.exec(hash) || [])[1];
  function fragmentOf(lists) {
    const text = (list) =>
      list.map((e) => encodeURIComponent(e.race) + ':' + encodeURIComponent(String(e.ships))).join(',');
    const seed = seedOf(location.hash);
    return 'alliance1=' + text(lists[0]) + '&alliance2=' + text(lists[1]) + (seed ? '&' + seed : '');
  }

  function refreshRaces() {
    catalogue = JSON.parse(call('kestrion_races', []));
    for (const section of sections) {
      const select = section.querySelector('.race');
      const chosen = select.value;
      select.textContent = '';
      for (const race of catalogue.races) {
        const option = document.createElement('option');
        option.value = race.name;
        option.textContent = race.name;
        select.append(option);
      }
      if (raceByName(chosen)) select.value = chosen;
      else if (section.dataset.side === '1' && catalogue.races.length > 1) select.selectedIndex = 1;
      section.querySelector('.ships').max = catalogue.maxEntryShips;
      describe(section);
    }
  }

  function describe(section) {
    const race = raceByName(section.querySelector('.race').value);
    section.querySelector('.description').textContent = race ? race.description : '';
  }

  function showFleets() {
    sections.forEach((section, side) => {
      const list = section.querySelector('.entries');
      list.textContent = '';
      let total = 0;
      fleets[side].forEach((entry, index) => {
        total += entry.ships;
        const item = document.createElement('li');
        const name = document.createElement('span');
        name.className = 'name';
        name.textContent = `${entry.race} × ${entry.ships}`;
        const race = raceByName(entry.race);
        if (race) {
          const small = document.createElement('small');
          small.textContent = race.description;
          name.append(small);
        }
        const remove = document.createElement('button');
        remove.type = 'button';
        remove.textContent = 'Remove';
        remove.addEventListener('click', () => {
          fleets[side].splice(index, 1);
          showFleets();
        });
        item.append(name, remove);
        list.append(item);
      });
      if (!fleets[side].length) {
        const item = document.createElement('li');
        item.className = 'empty';
        item.textContent = 'No ships';
        list.append(item);
      }
      section.querySelector('.total').textContent = `${total} of ${catalogue.maxFleetShips} ships`;
    });
    const fragment = fragmentOf(fleets);
    const share = $('share');
    share.href = '#' + fragment;
    share.textContent = location.href.split('#')[0] + '#' + fragment;
  }

  sections.forEach((section, side) => {
    section.querySelector('.race').addEventListener('change', () => describe(section));
    section.querySelector('.ships').addEventListener('keydown', (event) => {
      if (event.key === 'Enter') section.querySelector('.add-entry').click();
    });
    section.querySelector('.add-entry').addEventListener('click', () => {
      const race = section.querySelector('.race').value;
      const ships = section.querySelector('.ships').value.trim();
      if (!race) return showMessage('There is no race to add; drop a race file onto the page.');
      // The program's own rules decide: 1 to N ships an entry, at most M a side.
      const lists = [fleets[0].slice(), fleets[1].slice()];
      lists[side].push({ race, ships });
      const problem = call('kestrion_check_fleets', [fragmentOf(lists)]);
      if (problem) return showMessage(problem);
      showMessage('');
      fleets[side] = lists[side];
      fleets[side][fleets[side].length - 1].ships = Number(ships);
      showFleets();
    });
  });

  // Fills the builder from an address fragment; the message when it is bad.
  function readFleets(fragment) {
    const read = JSON.parse(call('kestrion_read_address', [fragment]));
    if (read.error) return read.error;
    const problem = call('kestrion_check_fleets', [fragment]);
    if (problem) return problem;
    const defaults = defaultFleets();
    fleets[0] = read.alliance1 || defaults[0];
    fleets[1] = read.alliance2 || defaults[1];
    return '';
  }
  function defaultFleets() {
    const races = catalogue.races;
    if (!races.length) return [[], []];
    return [[{ race: races[0].name, ships: 5 }], [{ race: races[races.length > 1 ? 1 : 0].name, ships: 5 }]];
  }
  const addressHasFleets = (hash) => /(^|[#&])alliance[12]=/.test(hash);

  // --- The battle -----------------------------------------------------------
  function canvasSize() {
    const ratio = window.devicePixelRatio || 1;
    return [Math.max(1, Math.round(canvas.clientWidth * ratio)), Math.max(1, Math.round(canvas.clientHeight * ratio))];
  }
  // The renderer's name, for the choice of smooth edges: a software renderer
  // (SwiftShader, llvmpipe) would pay more than half its frames for them.
  function rendererName() {
    try {
      const probe = document.createElement('canvas').getContext('webgl2');
      if (!probe) return '';
      const info = probe.getExtension('WEBGL_debug_renderer_info');
      const name = info ? String(probe.getParameter(info.UNMASKED_RENDERER_WEBGL)) : '';
      const lose = probe.getExtension('WEBGL_lose_context');
      if (lose) lose.loseContext();
      return name;
    } catch (e) {
      return '';
    }
  }
  let rendererTold = false;
  function start(fragment) {
    if (!rendererTold) {
      call('kestrion_renderer', [rendererName(), pageSettings.smooth ? 1 : 0]);
      rendererTold = true;
    }
    const [width, height] = canvasSize();
    canvas.width = width;
    canvas.height = height;
    const problem = call('kestrion_start', [fragment, width, height]);
    if (problem) {
      stats.state = 'builder';
      showBuilder();
      showMessage(problem);
      return false;
    }
    try {
      if (!wallpaper) localStorage.setItem(storageKey, fragment);
    } catch (e) {
      // Private windows may refuse; the address still holds the fleets.
    }
    const address = withOtherSettings(fragment);
    if (location.hash.slice(1) !== address) history.replaceState(null, '', '#' + address);
    stats.ships = fleets.map((side) => side.reduce((sum, entry) => sum + Number(entry.ships), 0));
    $('builder').hidden = true;
    $('toolbar').hidden = false;
    showMessage('');
    showFleets();
    stats.state = 'running';
    if (!running) {
      running = true;
      program._kestrion_pause(paused ? 1 : 0);
      requestFrame();
    }
    return true;
  }
  function frame(now) {
    frameScheduled = false;
    if (paused) return;
    if (contextLost || skippedForCap(now)) return requestFrame();
    const before = performance.now();
    stats.clockMs = program._kestrion_frame() >>> 0;
    stats.recentStartMs[stats.frames % recentFrames] = before;
    stats.recentWorkMs[stats.frames % recentFrames] = performance.now() - before;
    stats.frames++;
    if (pendingShot) {
      // Still this frame's picture: the browser shows it only after we return.
      canvas.toBlob(pendingShot, 'image/png');
      pendingShot = null;
    }
    requestFrame();
  }
  function showBuilder() {
    $('loading').hidden = true;
    $('builder').hidden = false;
    showFleets();
  }
  function resized() {
    if (!running) return;
    const [width, height] = canvasSize();
    if (width === canvas.width && height === canvas.height) return;
    canvas.width = width;
    canvas.height = height;
    program._kestrion_resize(width, height);
  }
  window.addEventListener('resize', resized);
  // A window moved to a screen of another scale may keep its CSS size and get
  // no resize event: the ratio is watched on its own.
  (function watchRatio() {
    if (!window.matchMedia) return;
    const ratio = matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`);
    ratio.addEventListener('change', () => {
      resized();
      watchRatio();
    }, { once: true });
  })();
  window.addEventListener('hashchange', () => {
    if (program) applyAddressSettings(location.hash);
    if (!program || !addressHasFleets(location.hash)) return;
    const problem = readFleets(location.hash);
    if (problem) {
      showBuilder();
      showMessage('The fleets in the address cannot fly: ' + problem);
    } else {
      start(fragmentOf(fleets));
    }
  });

  // A GPU reset, a driver update or a laptop waking up takes WebGL away; the
  // battle waits and goes on when the browser gives it back.
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault(); // without this the browser never gives the context back
    contextLost = true;
    notice('The browser took WebGL away from the battle for a moment; it goes on when WebGL comes back.', true);
  });
  canvas.addEventListener('webglcontextrestored', () => {
    const problem = program ? call('kestrion_restore', []) : '';
    if (problem) return notice(`The battle cannot go on: ${problem}. Reload the page to start again.`, true);
    contextLost = false;
    stats.restored++;
    $('notice').hidden = true;
  });

  $('start').addEventListener('click', () => start(fragmentOf(fleets)));
  $('fleets').addEventListener('click', () => {
    $('builder').hidden ? showBuilder() : ($('builder').hidden = true);
  });

  // --- Full screen: any key, click or mouse movement leaves it, as the saver ends.
  let fullSince = 0;
  let firstMouse = null;
  $('fullscreen').addEventListener('click', () => {
    const element = document.documentElement;
    if (element.requestFullscreen) element.requestFullscreen().catch((e) => notice('Full screen was refused: ' + e.message, true));
  });
  document.addEventListener('fullscreenchange', () => {
    const full = !!document.fullscreenElement;
    document.body.classList.toggle('full', full);
    fullSince = performance.now();
    firstMouse = null;
    if (full) $('builder').hidden = true;
  });
  const leaveFullScreen = () => {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  };
  document.addEventListener('keydown', (event) => {
    if (!document.fullscreenElement) return;
    event.preventDefault();
    leaveFullScreen();
  });
  document.addEventListener('mousedown', () => document.fullscreenElement && leaveFullScreen());
  document.addEventListener('mousemove', (event) => {
    // The layout change itself moves the pointer: judge only after a moment,
    // and only a move of more than 2 pixels.
    if (!document.fullscreenElement || performance.now() - fullSince < 500) return;
    if (!firstMouse) firstMouse = { x: event.screenX, y: event.screenY };
    else if (Math.abs(event.screenX - firstMouse.x) > 2 || Math.abs(event.screenY - firstMouse.y) > 2) leaveFullScreen();
  });

  // --- Screenshots ----------------------------------------------------------
  $('screenshot').addEventListener('click', () => {
    pendingShot = (blob) => {
      if (!blob) return notice('The browser could not make a picture of the battle.', true);
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      const stamp = new Date().toISOString().replace(/[-:]/g, '').replace(/\..*/, '');
      link.download = `Kestrion-${stamp}.png`;
      document.body.append(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
      stats.shots++;
    };
  });

  // --- Races the user added, kept in this browser (IndexedDB) ---------------
  // Each record: { fileName, name, bytes }; checked by the race reader again
  // on every visit, since a new version may read races differently.
  const store = {
    open() {
      return new Promise((resolve, reject) => {
        const request = indexedDB.open('kestrion', 1);
        request.onupgradeneeded = () => request.result.createObjectStore('races', { keyPath: 'fileName' });
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
      });
    },
    async run(mode, work) {
      const db = await store.open();
      try {
        return await new Promise((resolve, reject) => {
          const transaction = db.transaction('races', mode);
          const request = work(transaction.objectStore('races'));
          transaction.oncomplete = () => resolve(request && request.result);
          transaction.onerror = () => reject(transaction.error);
          transaction.onabort = () => reject(transaction.error);
        });
      } finally {
        db.close();
      }
    },
    all: () => store.run('readonly', (races) => races.getAll()),
    put: (record) => store.run('readwrite', (races) => races.put(record)),
    remove: (fileName) => store.run('readwrite', (races) => races.delete(fileName)),
  };
  const added = new Map(); // race name -> file name of the kept record

  function showAdded() {
    const list = $('added-list');
    list.textContent = '';
    for (const [name, fileName] of added) {
      const item = document.createElement('li');
      const label = document.createElement('span');
      label.className = 'name';
      label.textContent = name;
      const small = document.createElement('small');
      small.textContent = fileName;
      label.append(small);
      const save = document.createElement('button');
      save.type = 'button';
      save.className = 'save';
      save.textContent = 'Save race file';
      save.addEventListener('click', () => saveRace(name, fileName));
      const forget = document.createElement('button');
      forget.type = 'button';
      forget.className = 'forget';
      forget.textContent = 'Forget';
      forget.addEventListener('click', () => forgetRace(name));
      item.append(label, save, forget);
      list.append(item);
    }
    $('added').hidden = added.size === 0;
  }

  // The race file as the lists hold it, downloaded (an imported model's race too).
  function saveRace(name, fileName) {
    const race = raceByName(name);
    if (!race) return notice(`${name} is not in the lists any more.`, true);
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([program.FS.readFile('/data/' + race.file)]));
    link.download = fileName;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  async function forgetRace(name) {
    const fileName = added.get(name);
    try {
      await store.remove(fileName);
    } catch (e) {
      return notice(`The browser would not forget ${name}: ${e && e.message}`, true);
    }
    added.delete(name);
    // Out of the lists now as well; fleets flying it keep it until they change.
    const race = raceByName(name);
    if (race) program.FS.unlink('/data/' + race.file);
    for (const side of fleets) for (let i = side.length - 1; i >= 0; --i) if (side[i].race === name) side.splice(i, 1);
    refreshRaces();
    showFleets();
    showAdded();
    notice(`${name} is forgotten: it is no longer kept in this browser.`, false);
  }

  // The race file's bytes through the program's race reader into the lists:
  // its name, or the reader's message in `problem`.
  function joinRace(bytes, fileName) {
    const before = new Set(catalogue.races.map((race) => race.name));
    program.FS.writeFile('/dropped.ast', bytes);
    const problem = call('kestrion_add_race', ['/dropped.ast', fileName]);
    program.FS.unlink('/dropped.ast');
    if (problem) return { problem };
    refreshRaces();
    const joined = catalogue.races.find((race) => !before.has(race.name));
    return { name: joined ? joined.name : fileName };
  }

  async function restoreAddedRaces() {
    let records = [];
    try {
      records = await store.all();
    } catch (e) {
      return; // no IndexedDB here (a private window may refuse it): nothing kept
    }
    const dropped = [];
    for (const record of records) {
      const { name, problem } = joinRace(new Uint8Array(record.bytes), record.fileName);
      if (problem) {
        dropped.push(`${problem}; the copy kept in this browser is dropped.`);
        await store.remove(record.fileName).catch(() => {});
      } else {
        added.set(name, record.fileName);
      }
    }
    showAdded();
    if (dropped.length) notice(dropped.join(' '), true);
  }

  // --- Races dropped onto the page or picked with the file button ------------
  // Models (.obj with its .mtl and images, .gltf with its .bin and images, .glb)
  // go through the forge's importer compiled into the program first.
  const modelFile = /\.(obj|gltf|glb)$/i;

  // The race file's bytes into the lists and the browser's keeping.
  async function keepRace(bytes, fileName, joined, problems) {
    const { name, problem } = joinRace(bytes, fileName);
    if (problem) return problems.push(problem);
    joined.push(fileName);
    try {
      await store.put({ fileName, name, bytes: bytes.buffer });
      added.set(name, fileName);
    } catch (e) {
      problems.push(`${fileName} flies in this visit only: the browser would not keep it (${e && e.message}).`);
    }
  }

  // The drop's files in a folder of their own, the model imported from there
  // into race file bytes, or the importer's message.
  async function importModel(model, files) {
    const FS = program.FS;
    const folder = '/import';
    if (FS.analyzePath(folder).exists) {
      for (const name of FS.readdir(folder)) if (name !== '.' && name !== '..') FS.unlink(`${folder}/${name}`);
    } else {
      FS.mkdir(folder);
    }
    for (const file of files) {
      if (!/\.ast$/i.test(file.name)) FS.writeFile(`${folder}/${file.name}`, new Uint8Array(await file.arrayBuffer()));
    }
    // Run from the folder, so that messages name the files as the user knows them.
    FS.chdir(folder);
    let problem;
    try {
      problem = call('kestrion_import_model', [model.name, '/imported.ast']);
    } finally {
      FS.chdir('/');
    }
    if (problem) return { problem };
    const bytes = FS.readFile('/imported.ast');
    FS.unlink('/imported.ast');
    return { bytes, fileName: model.name.replace(modelFile, '.ast') };
  }

  async function addRaceFiles(files) {
    const joined = [];
    const problems = [];
    const models = files.filter((file) => modelFile.test(file.name));
    for (const file of files) {
      // The program holds the file and what is read from it in its own memory.
      if (file.size > largestRaceFile) {
        problems.push(`${file.name} is ${megabytes(file.size)} MB; the page takes files up to ` +
          `${megabytes(largestRaceFile)} MB`);
        continue;
      }
      if (modelFile.test(file.name)) {
        const { bytes, fileName, problem } = await importModel(file, files);
        if (problem) problems.push(problem);
        else await keepRace(bytes, fileName, joined, problems);
        continue;
      }
      if (!/\.ast$/i.test(file.name)) {
        // A model's materials, buffers and images come with it in the same drop.
        if (!models.length) problems.push(`${file.name} is not a race file (*.ast) or a model (.obj, .gltf, .glb)`);
        continue;
      }
      await keepRace(new Uint8Array(await file.arrayBuffer()), file.name, joined, problems);
    }
    if (joined.length) {
      showFleets();
      showAdded();
    }
    const text = [
      ...(joined.length
        ? [`${joined.join(', ')} joined the race lists, kept in this browser until you forget ${joined.length > 1 ? 'them' : 'it'}.`]
        : []),
      ...problems,
    ].join(' ');
    if (text) notice(text, problems.length > 0);
    if (!$('builder').hidden) showMessage(problems.join(' '));
  }
  $('race-files').addEventListener('change', (event) => {
    if (program) addRaceFiles([...event.target.files]);
    event.target.value = '';
  });
  let dragDepth = 0;
  document.addEventListener('dragenter', (event) => {
    event.preventDefault();
    dragDepth++;
    $('drop').hidden = false;
  });
  document.addEventListener('dragleave', () => {
    if (--dragDepth <= 0) $('drop').hidden = true;
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    dragDepth = 0;
    $('drop').hidden = true;
    if (program && event.dataTransfer) addRaceFiles([...event.dataTransfer.files]);
  });

  // --- The offline copy (sw.js): the page works without the network after the first visit.
  async function keepOffline() {
    if (location.protocol === 'file:' || !('serviceWorker' in navigator)) return;
    try {
      await navigator.serviceWorker.register('sw.js');
      await navigator.serviceWorker.ready;
      stats.offline = true;
      $('forget-offline').hidden = false;
    } catch (e) {
      // Without a worker the page still works while the network does.
    }
  }
  $('forget-offline').addEventListener('click', async () => {
    for (const registration of await navigator.serviceWorker.getRegistrations()) await registration.unregister();
    for (const name of await caches.keys()) if (name.startsWith('kestrion-')) await caches.delete(name);
    stats.offline = false;
    $('forget-offline').hidden = true;
    notice('The offline copy is forgotten: the next visit loads the page from the network.', false);
  });

  // --- Settings beside the fleets: fps= and smooth= in the address -----------
  let pageSettings = { fps: 0, smooth: true };
  let hostCap = 0; // a wallpaper host's own frame-rate limit, 0 for none
  let paused = false;
  let frameScheduled = false;

  // The fleets' fragment with the address's other parts (fps=, smooth=, any
  // other) that it does not hold itself.
  function withOtherSettings(fragment) {
    const keyOf = (part) => part.split('=')[0];
    const own = new Set(['alliance1', 'alliance2', ...fragment.split('&').map(keyOf)]);
    const others = location.hash.slice(1).split('&').filter((part) => part && !own.has(keyOf(part)));
    return [fragment, ...others].join('&');
  }
  // The address's frame cap at once; smooth edges need a new WebGL context, so
  // a change of them once the battle runs reloads the page (the address keeps them).
  function applyAddressSettings(hash) {
    const read = JSON.parse(call('kestrion_page_settings', [hash]));
    if (read.error) {
      const text = `The address's settings: ${read.error}.`;
      wallpaper ? console.warn('Kestrion: ' + text) : notice(text, true);
      return;
    }
    const smoothChanged = read.smooth !== pageSettings.smooth;
    pageSettings = read;
    if (smoothChanged && rendererTold) location.reload();
  }
  function frameCap() {
    const caps = [pageSettings.fps, hostCap].filter((cap) => cap > 0);
    return caps.length ? Math.min(...caps) : 0;
  }
  // Under a cap, animation frames that come too early are let pass: nothing is
  // drawn and no timer runs (the program keeps the schedule, as for --fps).
  function skippedForCap(now) {
    const cap = frameCap();
    return cap > 0 && !program._kestrion_frame_due(now, cap);
  }
  function requestFrame() {
    if (frameScheduled || paused || !running) return;
    frameScheduled = true;
    requestAnimationFrame(frame);
  }
  // A paused battle draws nothing and its clock stands still, as in a hidden tab.
  function setPaused(value) {
    paused = !!value;
    stats.paused = paused;
    if (program && running) program._kestrion_pause(paused ? 1 : 0);
    requestFrame();
  }

  // --- The wallpaper: Lively Wallpaper's and Wallpaper Engine's calls --------
  // The data set and the program come in packed.js (gzip in base64), since a
  // page opened from the disk may not fetch files beside it.
  async function unpacked(base64) {
    const text = atob(base64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }
  async function packedProgram() {
    return window.kestrionPacked ? { wasmBinary: await unpacked(window.kestrionPacked.wasm) } : {};
  }
  async function unpackDataSet() {
    program.FS.mkdir('/data');
    for (const file of window.kestrionPacked.files) program.FS.writeFile('/data/' + file.name, await unpacked(file.gzip));
    delete window.kestrionPacked; // its text is not needed again
  }

  // Settings that come before the program is ready wait for it.
  const waitingSettings = [];
  function hostSetting(name, value) {
    if (!program || stats.state === 'loading') return waitingSettings.push([name, value]);
    const change = JSON.parse(call('kestrion_host_setting', [location.hash, name, typeof value, String(value)]));
    if (change.error) return console.warn(`Kestrion: the setting ${name} is refused: ${change.error}.`);
    if (!change.changed) return;
    history.replaceState(null, '', '#' + change.fragment);
    if (change.changed !== 'fleets') return applyAddressSettings(location.hash);
    if (!running) return;
    const problem = readFleets(location.hash);
    if (problem || !start(fragmentOf(fleets))) console.warn(`Kestrion: the fleets of ${name} cannot fly: ${problem}`);
  }
  function hostFrameLimit(fps) {
    const limit = Number(fps);
    if (!(limit >= 0)) return console.warn(`Kestrion: the host's frame-rate limit ${fps} is not a number; it is left alone.`);
    hostCap = Math.round(limit);
  }
  function startWallpaper() {
    stats.state = 'wallpaper';
    for (const [name, value] of waitingSettings.splice(0)) hostSetting(name, value);
    const problem = readFleets(location.hash);
    if (problem) {
      console.warn(`Kestrion: the fleets in the address cannot fly (${problem}); the default fleets fly.`);
      [fleets[0], fleets[1]] = defaultFleets();
    }
    if (!start(fragmentOf(fleets))) console.error('Kestrion: the battle cannot start: ' + $('message').textContent);
  }
  if (wallpaper) {
    // Lively Wallpaper: each setting at start and at each change; the pause
    // (with "--pause-event true" in LivelyInfo.json) as JSON text.
    window.livelyPropertyListener = (name, value) => hostSetting(name, value);
    window.livelyWallpaperPlaybackChanged = (data) => {
      try {
        setPaused((typeof data === 'string' ? JSON.parse(data) : data).IsPaused);
      } catch (e) {
        console.warn(`Kestrion: Lively's playback state ${data} is not JSON; it is left alone.`);
      }
    };
    // Wallpaper Engine: changed settings as {name: {value}}, its own frame limit, the pause.
    window.wallpaperPropertyListener = {
      applyUserProperties(properties) {
        for (const [name, property] of Object.entries(properties || {}))
          if (property && 'value' in property) hostSetting(name, property.value);
      },
      applyGeneralProperties(properties) {
        if (properties && 'fps' in properties) hostFrameLimit(properties.fps);
      },
      setPaused,
    };
    // The desktop's clicks and keys are not the battle's: nothing reaches the page's own handlers.
    for (const type of ['keydown', 'mousedown', 'mousemove', 'dragenter', 'dragover', 'dragleave', 'drop'])
      window.addEventListener(type, (event) => {
        event.stopPropagation();
        if (type.startsWith('drag') || type === 'drop') event.preventDefault();
      }, true);
  }

  // --- Start-up ---------------------------------------------------------------
  async function main() {
    if (!wallpaper) keepOffline();
    try {
      program = await createKestrion({
        canvas,
        onAbort: (what) => notice(`The battle stopped (${what}). Reload the page to start again.`, true),
        ...(await packedProgram()),
      });
      await loadDataSet();
      refreshRaces();
      if (!wallpaper) await restoreAddedRaces();
    } catch (error) {
      $('loading-text').textContent =
        'The battle could not be loaded: ' + String(error.message || error).replace(/\.?$/, '. ') +
        (location.protocol === 'file:' ? 'Serve this folder over HTTP (scripts/web) instead of opening the file.' : 'Reload the page to try again.');
      if (wallpaper) console.error('Kestrion: ' + $('loading-text').textContent);
      stats.state = 'failed';
      return;
    }
    refreshRaces();
    $('loading').hidden = true;
    applyAddressSettings(location.hash);
    if (wallpaper) return startWallpaper();
    if (!catalogue.races.length) showMessage('The data set has no races; drop a race file onto the page.');
    if (addressHasFleets(location.hash)) {
      const problem = readFleets(location.hash);
      if (!problem) {
        if (start(fragmentOf(fleets))) return;
      } else {
        [fleets[0], fleets[1]] = defaultFleets();
        stats.state = 'builder';
        showBuilder();
        showMessage('The fleets in the address cannot fly: ' + problem);
        return;
      }
    }
    let kept = '';
    try {
      kept = localStorage.getItem(storageKey) || '';
    } catch (e) {
      kept = '';
    }
    if (!kept || readFleets(kept)) [fleets[0], fleets[1]] = defaultFleets();
    stats.state = 'builder';
    showBuilder();
  }
  main();
})();
