// Lumio's console: one control for each bridge command, with the answer shown
// beside it, and a live log of every page event. It also performs the start-up
// handshake, which is what first shows the main window.
//
// Each control names its command in data-command. A card's <output class="answer">
// shows the last call made from that card; its data-command, data-status
// ("pending", "success", "failure") and data-response (the response text as the
// shell sent it, or "<code> <message text>" for a failure) say the same for tools.
(function () {
  'use strict';

  const $ = (selector, root = document) => root.querySelector(selector);
  const $$ = (selector, root = document) => Array.from(root.querySelectorAll(selector));
  const MAX_EVENTS = 300;

  // -- the arguments each command sends, read from its controls --

  function integer(input, fallback) {
    const value = Number.parseInt(input.value, 10);
    return Number.isFinite(value) ? value : fallback;
  }

  const menuItems = [
    {id: 1, label: 'Show Lumio', enabled: true},
    {id: 2, label: 'Say hello', enabled: true},
    {id: 3, label: 'Not now', enabled: false},
  ];

  function keywords() {
    return $$('input[name="keyword"]:checked').map((box) => box.value);
  }

  const argumentsOf = {
    OrbitMainBrowserSetAlpha: () => ({value: integer($('#alpha-value'), 255)}),
    OrbitMainBrowserSetTopmost: () => ({enabled: $('#topmost').checked}),
    OrbitMainBrowserSetIMEEnabled: () => ({enabled: $('#ime').checked}),
    OrbitTrayIconNotify: () => {
      const request = {title: $('#notify-title').value, text: $('#notify-text').value};
      // An empty count is left out: the shell then clears the badge.
      if ($('#notify-count').value.trim() !== '') {
        request.unreadCount = integer($('#notify-count'), 0);
      }
      return request;
    },
    OrbitTrayIconUpdateMenu: () => ({items: menuItems.map((item) => ({...item}))}),
    OrbitToastShow: () => ({
      width: integer($('#toast-width'), 0),
      height: integer($('#toast-height'), 0),
    }),
    OrbitOSOpenExternalBrowser: () => ({url: $('#external-url').value.trim()}),
    OrbitPopupPrepare: () => ({name: $('#popup-name').value, features: keywords()}),
  };

  // -- calls and their answers --

  function shortName(command) {
    return command.replace(/^Orbit/, '');
  }

  function showAnswer(output, command, status, text) {
    output.dataset.command = command;
    output.dataset.status = status;
    output.dataset.response = text;
    output.replaceChildren();
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = shortName(command);
    const mark = document.createElement('span');
    mark.className = 'mark';
    mark.textContent = {pending: '…', success: '✓', failure: '✗', note: '→'}[status];
    const body = document.createElement('code');
    body.textContent = text;
    output.append(name, mark, body);
    output.title = command + ' ' + text;
  }

  // Calls |command| for a control of |card| and shows the answer in the card.
  // Resolves with the response, or undefined when the call failed.
  async function call(command, card) {
    const output = $('.answer', card);
    const args = argumentsOf[command] ? argumentsOf[command]() : undefined;
    showAnswer(output, command, 'pending',
               command === 'OrbitAppQuitNow' ? 'sent: this one is never answered' : 'waiting');
    try {
      const response = await lumio.invoke(command, args);
      showAnswer(output, command, 'success', JSON.stringify(response));
      return response;
    } catch (error) {
      const text = error instanceof lumio.LumioError ?
          error.code + ' ' + error.response : String(error && error.message || error);
      showAnswer(output, command, 'failure', text);
      return undefined;
    }
  }

  // Calls whose answer only feeds the page (the switches' states); not shown.
  async function quietly(command) {
    try {
      return await lumio.invoke(command);
    } catch (error) {
      return undefined;
    }
  }

  const afterCall = {
    // Hidden, the window has no control left to show it again: come back shortly.
    OrbitMainBrowserHide: (card) => setTimeout(() => call('OrbitMainBrowserShow', card), 3000),
    OrbitOSRegisterStartupApp: syncStartup,
    OrbitOSUnregisterStartupApp: syncStartup,
    OrbitOSIsStartupAppRegistered: (card, response) => {
      if (response) $('#startup').checked = response.registered === true;
    },
    OrbitAppGetInfo: (card, response) => {
      if (response) $('#greeting').title = 'Lumio ' + response.appVersion + ' on ' + response.computerName;
    },
  };

  async function syncStartup() {
    const response = await quietly('OrbitOSIsStartupAppRegistered');
    if (response) $('#startup').checked = response.registered === true;
  }

  async function run(command, control) {
    const card = control.closest('.card');
    const response = await call(command, card);
    if (afterCall[command]) afterCall[command](card, response);
  }

  // Buttons run their command when clicked; switches when they change.
  document.addEventListener('click', (event) => {
    const button = event.target.closest('button[data-command]');
    if (button) run(button.dataset.command, button);
  });
  document.addEventListener('change', (event) => {
    const box = event.target.closest('input[type="checkbox"][data-command]');
    if (!box) return;
    const off = box.dataset.commandOff;
    run(!box.checked && off ? off : box.dataset.command, box);
  });

  // -- opacity: the slider sets it as it moves, the field takes any number --

  const alphaRange = $('#alpha-range');
  const alphaValue = $('#alpha-value');
  let alphaFrame = 0;
  alphaRange.addEventListener('input', () => {
    alphaValue.value = alphaRange.value;
    if (alphaFrame) return;
    alphaFrame = requestAnimationFrame(() => {
      alphaFrame = 0;
      run('OrbitMainBrowserSetAlpha', alphaRange);
    });
  });
  alphaValue.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') run('OrbitMainBrowserSetAlpha', alphaValue);
  });
  alphaValue.addEventListener('input', () => {
    const value = integer(alphaValue, 255);
    if (value >= Number(alphaRange.min) && value <= 255) alphaRange.value = String(value);
  });

  // -- the tray menu editor --

  function renderMenu() {
    const list = $('#menu-items');
    list.replaceChildren(...menuItems.map((item, index) => {
      const row = document.createElement('li');
      // Names that say which row, for a screen reader that reads one control.
      const which = 'Item ' + (index + 1);
      const id = document.createElement('input');
      id.type = 'number';
      id.className = 'num id';
      id.value = String(item.id);
      id.setAttribute('aria-label', which + ' id');
      id.addEventListener('input', () => { item.id = integer(id, 0); });
      const label = document.createElement('input');
      label.type = 'text';
      label.value = item.label;
      label.setAttribute('aria-label', which + ' label');
      label.addEventListener('input', () => { item.label = label.value; });
      const enabled = document.createElement('input');
      enabled.type = 'checkbox';
      enabled.checked = item.enabled;
      enabled.title = 'Enabled';
      enabled.setAttribute('aria-label', which + ' enabled');
      enabled.addEventListener('change', () => { item.enabled = enabled.checked; });
      const remove = document.createElement('button');
      remove.className = 'ghost small';
      remove.textContent = '×';
      remove.title = 'Remove this item';
      remove.setAttribute('aria-label', 'Remove ' + which.toLowerCase());
      remove.addEventListener('click', () => {
        menuItems.splice(index, 1);
        renderMenu();
      });
      row.append(id, label, enabled, remove);
      return row;
    }));
  }
  $('#menu-add').addEventListener('click', () => {
    const next = menuItems.reduce((max, item) => Math.max(max, item.id), 0) + 1;
    menuItems.push({id: next, label: 'Item ' + next, enabled: true});
    renderMenu();
    $('#menu-items li:last-child input[type="text"]').focus();
  });
  renderMenu();

  // -- popups --

  function openPopup(card) {
    const name = $('#popup-name').value;
    const width = integer($('#popup-width'), 300);
    const height = integer($('#popup-height'), 200);
    const features = 'width=' + width + ',height=' + height;
    const opened = window.open('popup.html', name, features);
    showAnswer($('.answer', card), 'window.open', 'note',
               (opened ? 'opened ' : 'blocked ') + JSON.stringify(name) + ' ' + features);
  }
  $('#popup-open').addEventListener('click', (event) => {
    openPopup(event.target.closest('.card'));
  });
  $('#popup-both').addEventListener('click', async (event) => {
    const card = event.target.closest('.card');
    if (await call('OrbitPopupPrepare', card)) openPopup(card);
  });

  // -- tabs --

  // Only the selected tab is a Tab stop; the arrow keys move between the tabs.
  function selectTab(name) {
    for (const tab of $$('[role="tab"]')) {
      const selected = tab.dataset.tab === name;
      tab.setAttribute('aria-selected', String(selected));
      tab.tabIndex = selected ? 0 : -1;
      $('#tab-' + tab.dataset.tab).hidden = !selected;
    }
  }
  $('.tabs').addEventListener('click', (event) => {
    const tab = event.target.closest('[role="tab"]');
    if (tab) selectTab(tab.dataset.tab);
  });
  $('.tabs').addEventListener('keydown', (event) => {
    const tabs = $$('[role="tab"]');
    const at = tabs.indexOf(event.target);
    if (at < 0 || event.altKey || event.ctrlKey || event.metaKey) return;
    const to = {
      ArrowLeft: at - 1, ArrowUp: at - 1, ArrowRight: at + 1, ArrowDown: at + 1,
      Home: 0, End: tabs.length - 1,
    }[event.key];
    if (to === undefined) return;
    event.preventDefault();
    const tab = tabs[(to + tabs.length) % tabs.length];
    selectTab(tab.dataset.tab);
    tab.focus();
  });

  // -- the event log --

  const events = $('#events');
  let eventCount = 0;

  function time() {
    const now = new Date();
    const two = (n) => String(n).padStart(2, '0');
    return two(now.getHours()) + ':' + two(now.getMinutes()) + ':' + two(now.getSeconds());
  }

  function logEvent(payload, name) {
    eventCount += 1;
    const entry = document.createElement('li');
    entry.dataset.name = name;
    entry.dataset.payload = JSON.stringify(payload);
    const when = document.createElement('time');
    when.textContent = time();
    const what = document.createElement('span');
    what.className = 'name';
    what.textContent = shortName(name);
    const body = document.createElement('code');
    // No-break spaces inside, spaces between the parts: a payload that does not fit
    // beside the name moves to a line of its own instead of breaking at a space.
    body.textContent = entry.dataset.payload.replace(/ /g, '\u00a0');
    entry.append(when, ' ', what, ' ', body);
    entry.title = name;
    events.prepend(entry);
    while (events.children.length > MAX_EVENTS) events.lastElementChild.remove();
    $('#event-count').textContent = String(eventCount);
    $('#events-empty').hidden = true;
  }
  $('#log-clear').addEventListener('click', () => {
    events.replaceChildren();
    eventCount = 0;
    $('#event-count').textContent = '0';
    $('#events-empty').hidden = false;
  });

  lumio.on('*', logEvent);
  lumio.on('OrbitAppInitializedReply', ({text}) => { $('#greeting').textContent = text; });
  lumio.on('OrbitAppWillQuit', () => { $('#greeting').textContent = 'Quitting…'; });
  lumio.on('OrbitMainBrowserStateChange', ({state}) => {
    const chip = $('#window-state');
    chip.textContent = state;
    chip.dataset.state = state;
  });

  // -- start-up --

  async function start() {
    if (typeof window.cefQuery !== 'function') {
      $('#greeting').textContent = 'Not running inside Lumio.';
      return;
    }
    const handshake = $('button[data-command="OrbitAppInitialized"]');
    await run('OrbitAppInitialized', handshake);
    syncStartup();
    const info = await quietly('OrbitAppGetInfo');
    if (info) afterCall.OrbitAppGetInfo(null, info);
  }
  start();
})();
